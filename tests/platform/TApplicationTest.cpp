#include "TApplication.h"
#include "BoxWatcher.h"
#include "Exceptions.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

TApplication& App()
{
    return *static_cast<TApplication*>(QApplication::instance());
}

} // namespace

TEST(TApplication, TitleFromProgramPath)
{
    struct Case {
        const char* Path;
        const char* Title;
    };
    const Case cases[] = {
        {"C:/Tools/ConvTool.Old.EXE", "Convtool"},
        {"/usr/bin/wordmill", "wordmill"},
        {"/opt/WordMill", "Wordmill"},
        {"/opt/.hidden", ""},
        {"x", "x"},
        {"/a.b/ABC.d", "Abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(TApplication::TitleFromProgramPath(c.Path).toStdString(), c.Title);
    }
}

TEST(TApplication, ErrorBoxShowsTheMessageWithOneFullStop)
{
    struct Case {
        std::string Message;
        std::string Shown;
    };
    const Case cases[] = {
        {"abc", "abc."},
        {"abc.", "abc.."},
        {"", "."},
        {"ﾌｧｲﾙ x.htm は開けません", "ﾌｧｲﾙ x.htm は開けません."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        TBoxWatcher watcher;
        App().ShowException(Exception(c.Message));
        ASSERT_EQ(watcher.Seen().size(), 1u);
        const TSeenBox& box = watcher.Seen()[0];
        EXPECT_EQ(box.Text, c.Shown);
        EXPECT_EQ(box.Title, App().Title().toStdString());
        EXPECT_EQ(box.Icon, QMessageBox::Critical);
        EXPECT_EQ(box.Buttons, 1);
        EXPECT_TRUE(box.Modal);
    }
    // The test program is application_tests, so that is where its title comes from.
    EXPECT_EQ(App().Title().toStdString(), "application_tests");
}

TEST(TApplication, ExceptionInAClickHandlerReachesTheBoxAndTheWindowGoesOn)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* failing = new QPushButton("fail", &window);
    auto* edit = new QLineEdit(&window);
    auto* counting = new QPushButton("count", &window);
    layout->addWidget(failing);
    layout->addWidget(edit);
    layout->addWidget(counting);
    int failures = 0, counts = 0;
    QObject::connect(failing, &QPushButton::clicked, [&] {
        ++failures;
        throw EFOpenError("abc");
    });
    QObject::connect(counting, &QPushButton::clicked, [&] { ++counts; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    TBoxWatcher watcher;
    QTest::mouseClick(failing, Qt::LeftButton);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].Text, "abc.");
    EXPECT_EQ(failures, 1);

    // The window still takes clicks and typing after the box.
    QTest::mouseClick(counting, Qt::LeftButton);
    EXPECT_EQ(counts, 1);
    edit->setFocus();
    QTest::keyClicks(edit, "still here");
    EXPECT_EQ(edit->text(), "still here");
    QTest::mouseClick(failing, Qt::LeftButton);
    EXPECT_EQ(failures, 2);
    EXPECT_EQ(watcher.Seen().size(), 2u);
}

TEST(TApplication, OutOfMemoryAndForeignErrorsReachTheBox)
{
    QPushButton button("x");
    QObject::connect(&button, &QPushButton::clicked, [] { throw std::bad_alloc(); });
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    TBoxWatcher watcher;
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].Text, "メモリが不足しています.");

    App().ShowException(std::runtime_error("boom"));
    ASSERT_EQ(watcher.Seen().size(), 2u);
    EXPECT_EQ(watcher.Seen()[1].Text, "boom.");
}

namespace {

bool GShown = false;

class TFailingForm : public QWidget {
public:
    TFailingForm() { throw EFCreateError("cannot build"); }
    void showEvent(QShowEvent*) override { GShown = true; }
};

} // namespace

TEST(TApplication, FailureWhileTheWindowIsBuiltShowsTheBoxAndEnds)
{
    TFailingForm* form = reinterpret_cast<TFailingForm*>(0x1);
    TBoxWatcher watcher;
    const int code = RunMainForm(App(), form);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(form, nullptr);
    EXPECT_FALSE(GShown);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].Text, "cannot build.");
    EXPECT_EQ(watcher.Seen()[0].Title, "application_tests");
}
