#include "CodePage.h"
#include "FormAccess.h"
#include "TestFiles.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

const char* const Gothic = "ＭＳ Ｐゴシック";
const char* const Mincho = "ＭＳ 明朝";

class Window : public ::testing::Test {
protected:
    void SetUp() override { SetSystemCodePage(TCodePage::FromCodeset("UTF-8")); }

    std::unique_ptr<TForm1> MakeForm(const std::vector<std::string>& pages)
    {
        for (const auto& page : pages)
            WriteBytes(Dir / page, "x");
        TChdir here(Dir.Path());
        return std::make_unique<TForm1>();
    }

    TTempDir Dir;
};

QColor Foreground(QWidget* w)
{
    if (qobject_cast<QLineEdit*>(w))
        return w->palette().color(QPalette::Text);
    if (qobject_cast<QPushButton*>(w))
        return w->palette().color(QPalette::Active, QPalette::ButtonText);
    return w->palette().color(QPalette::WindowText);
}

} // namespace

TEST_F(Window, StatusAndButtonFollowTheFileCount)
{
    struct Case {
        std::vector<std::string> Pages;
        const char* Status;
        bool ButtonEnabled;
    };
    std::vector<std::string> many;
    for (int i = 0; i < 37; ++i)
        many.push_back("p" + std::to_string(i) + ".htm");
    const Case cases[] = {
        {{}, "HTML File Count : 0", false},
        {{"one.htm"}, "HTML File Count : 1", true},
        {many, "HTML File Count : 37", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Status);
        TTempDir dir;
        for (const auto& page : c.Pages)
            WriteBytes(dir / page, "x");
        TChdir here(dir.Path());
        TForm1 form;
        EXPECT_EQ(form.Label6->text().toStdString(), c.Status);
        EXPECT_EQ(form.Button1->isEnabled(), c.ButtonEnabled);
        EXPECT_EQ(form.windowTitle().toStdString(), " Wordmill");
    }
}

TEST_F(Window, ControlsFollowTheLayout)
{
    auto form = MakeForm({"a.htm"});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    const QColor blue(0, 0, 255), teal(0, 128, 128), black(0, 0, 0);
    struct Case {
        QWidget* Control;
        int Left, Top, Width, Height; // labels: the size their text needs
        const char* Text;
        const char* Face;
        int PixelHeight;
        QColor Colour;
    };
    const Case cases[] = {
        {form->Label1, 234, 80, -1, -1, "==>", Gothic, 21, blue},
        {form->Label2, 234, 120, -1, -1, "==>", Gothic, 21, blue},
        {form->Label3, 234, 160, -1, -1, "==>", Gothic, 21, blue},
        {form->Label4, 234, 200, -1, -1, "==>", Gothic, 21, blue},
        {form->Label5, 234, 240, -1, -1, "==>", Gothic, 21, blue},
        {form->Label6, 100, 20, -1, -1, "HTML File Count : 1", Mincho, 27, blue},
        {form->Edit1, 15, 80, 200, 24, "", Gothic, 16, black},
        {form->Edit2, 286, 80, 200, 24, "", Gothic, 16, black},
        {form->Edit3, 15, 120, 200, 24, "", Gothic, 16, black},
        {form->Edit4, 286, 120, 200, 24, "", Gothic, 16, black},
        {form->Edit5, 15, 160, 200, 24, "", Gothic, 16, black},
        {form->Edit6, 286, 160, 200, 24, "", Gothic, 16, black},
        {form->Edit7, 15, 200, 200, 24, "", Gothic, 16, black},
        {form->Edit8, 286, 200, 200, 24, "", Gothic, 16, black},
        {form->Edit9, 15, 240, 200, 24, "", Gothic, 16, black},
        {form->Edit10, 286, 240, 200, 24, "", Gothic, 16, black},
        {form->Button1, 115, 308, 273, 37, "Make  New  File", Gothic, 27, teal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Control->objectName().toStdString());
        const QRect g = c.Control->geometry();
        EXPECT_EQ(g.topLeft(), QPoint(c.Left, c.Top));
        if (auto* label = qobject_cast<QLabel*>(c.Control)) {
            EXPECT_EQ(g.size(), label->sizeHint());
            EXPECT_EQ(label->text().toStdString(), c.Text);
            EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        } else {
            EXPECT_EQ(g.size(), QSize(c.Width, c.Height));
        }
        if (auto* edit = qobject_cast<QLineEdit*>(c.Control)) {
            EXPECT_EQ(edit->text().toStdString(), c.Text);
        }
        if (auto* button = qobject_cast<QPushButton*>(c.Control)) {
            EXPECT_EQ(button->text().toStdString(), c.Text);
        }
        const QFont font = c.Control->font();
        EXPECT_EQ(font.family().toStdString(), c.Face);
        EXPECT_EQ(font.pixelSize(), c.PixelHeight);
        EXPECT_FALSE(font.bold());
        EXPECT_FALSE(font.italic());
        EXPECT_FALSE(font.underline());
        EXPECT_EQ(Foreground(c.Control), c.Colour);
        EXPECT_TRUE(c.Control->isVisible());
    }
    // The substitute face draws "==>" wider than the layout's 33 pixels; the arrow must still
    // stand clear of the replacement box beside it.
    EXPECT_LE(form->Label1->geometry().right(), form->Edit2->geometry().left() - 1);
    EXPECT_GE(form->Label1->height(), 21);
}

TEST_F(Window, FrameAndPlacement)
{
    auto form = MakeForm({});
    EXPECT_EQ(form->windowTitle().toStdString(), " Wordmill");
    EXPECT_EQ(form->font().family().toStdString(), Gothic);
    EXPECT_EQ(form->font().pixelSize(), 12);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(form->frameGeometry(), QRect(200, 107, 520, 400));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::Window);
    EXPECT_FALSE(flags & Qt::FramelessWindowHint);
    EXPECT_FALSE(flags & Qt::MSWindowsFixedSizeDialogHint);
    EXPECT_EQ(form->minimumSize(), QSize(0, 0));
    EXPECT_EQ(form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    EXPECT_FALSE(form->windowIcon().isNull());
    // No control follows the window's size.
    form->resize(800, 600);
    EXPECT_EQ(form->Button1->geometry(), QRect(115, 308, 273, 37));
    EXPECT_EQ(form->Memo1.DocumentText(), "Memo1");
    // With no file listed the button is disabled, and it shows it.
    EXPECT_FALSE(form->Button1->isEnabled());
    EXPECT_NE(form->Button1->palette().color(QPalette::Disabled, QPalette::ButtonText),
              QColor(0, 128, 128));
}

TEST_F(Window, TabVisitsTheBoxesInOrderThenTheButton)
{
    auto form = MakeForm({"a.htm"});
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->Edit1->setFocus();
    const QWidget* expected[] = {form->Edit2,  form->Edit3,   form->Edit4, form->Edit5,
                                 form->Edit6,  form->Edit7,   form->Edit8, form->Edit9,
                                 form->Edit10, form->Button1, form->Edit1};
    for (const QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), next)
            << "focus on " << QApplication::focusWidget()->objectName().toStdString();
    }
}

TEST_F(Window, IconIsThirtyTwoPixelsInSixteenColours)
{
    Q_INIT_RESOURCE(wordmill);
    QImage icon(":/MAINICON");
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(32, 32));
    QSet<QRgb> colours;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            colours.insert(icon.pixel(x, y));
    EXPECT_LE(colours.size(), 16);
    EXPECT_GE(colours.size(), 4);
}
