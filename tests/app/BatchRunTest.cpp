#include "BoxWatcher.h"
#include "ChildProcess.h"
#include "CodePage.h"
#include "FolderWatch.h"
#include "FormAccess.h"
#include "TestFiles.h"
#include "Typing.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

namespace {

using TFiles = std::map<std::string, std::string>;

// Every regular file below a folder, by relative path, with its bytes.
TFiles Snapshot(const std::filesystem::path& root, bool skipNewFile)
{
    TFiles files;
    for (auto it = std::filesystem::recursive_directory_iterator(root);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        const auto rel = std::filesystem::relative(it->path(), root).string();
        if (skipNewFile && rel.rfind("NewFile", 0) == 0) {
            if (it->is_directory())
                it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file() && !it->is_symlink())
            files[rel] = ReadBytes(it->path().string());
    }
    return files;
}

// One start of the program in a fresh working folder. The pages' bytes must be the same when it
// ends as when the program started, whatever the run did, and no wait cursor may be left.
class TProgramRun {
public:
    TProgramRun() { SetSystemCodePage(TCodePage::FromCodeset("UTF-8")); }
    ~TProgramRun()
    {
        Form.reset();
        Here.reset();
        if (Started) {
            EXPECT_EQ(Snapshot(Dir.Path(), true), Sources) << "a source file changed";
        }
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor was left behind";
    }
    TProgramRun(const TProgramRun&) = delete;
    TProgramRun& operator=(const TProgramRun&) = delete;

    void Pages(const TFiles& pages)
    {
        for (const auto& [name, bytes] : pages)
            WriteBytes(Dir / name, bytes);
    }

    // Starts the program in the folder, as a user would, with the pages there now.
    TForm1& Start(std::size_t capacity = TDocumentBuffer::DefaultCapacity)
    {
        Sources = Snapshot(Dir.Path(), true);
        Started = true;
        Here = std::make_unique<TChdir>(Dir.Path());
        Form = std::make_unique<TForm1>(nullptr, capacity);
        Form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        return *Form;
    }

    void Type(int row, const QString& search, const QString& replacement)
    {
        QLineEdit* boxes[] = {Form->Edit1, Form->Edit2, Form->Edit3, Form->Edit4, Form->Edit5,
                              Form->Edit6, Form->Edit7, Form->Edit8, Form->Edit9, Form->Edit10};
        TypeInto(boxes[2 * (row - 1)], search);
        TypeInto(boxes[2 * (row - 1) + 1], replacement);
    }

    // Presses the button; returns the texts of the error boxes the press brought up.
    std::vector<std::string> Press()
    {
        TBoxWatcher watcher;
        QTest::mouseClick(Form->Button1, Qt::LeftButton);
        std::vector<std::string> texts;
        for (const auto& box : watcher.Seen())
            texts.push_back(box.Text);
        return texts;
    }

    // A page the test itself removed after start-up is no change of the program's.
    void Removed(const std::string& name) { Sources.erase(name); }

    TFiles Outputs() const
    {
        if (!std::filesystem::is_directory(Dir / "NewFile"))
            return {};
        return Snapshot(Dir.Path() / "NewFile", false);
    }

    std::string Status() const { return Form->Label6->text().toStdString(); }

    TTempDir Dir;
    std::unique_ptr<TForm1> Form;

private:
    TFiles Sources;
    bool Started = false;
    std::unique_ptr<TChdir> Here;
};

class BatchRun : public ::testing::Test, public TProgramRun {};

const std::string Wait = "Plaese wait a moment .....";
const std::string Done = "New File OK. See you again.";

} // namespace

TEST_F(BatchRun, ConvertsEveryListedFile)
{
    Pages({{"a.htm", "x1\ny"}, {"b.htm", "xx\r\n"}, {"c.html", ""}});
    Start();
    Type(1, "x", "Z");
    EXPECT_TRUE(Press().empty());
    EXPECT_EQ(Outputs(),
              (TFiles{{"a.htm", "Z1\r\ny\r\n"}, {"b.htm", "ZZ\r\n\r\n"}, {"c.html", "\r\n"}}));
    EXPECT_EQ(Status(), Done);
    EXPECT_FALSE(Form->Button1->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Form->Memo1.DocumentText(), "");
    // The working text keeps the last converted document: the first listed file's.
    EXPECT_EQ(TForm1Access::WorkText(*Form), "Z1\r\ny");
}

TEST_F(BatchRun, NoCompleteRowChangesNothingButTheButton)
{
    struct Case {
        const char* What;
        int Row;
        QString Search, Replacement;
    };
    const Case cases[] = {
        {"nothing typed", 0, "", ""},
        {"only a search text", 1, "a", ""},
        {"only a replacement", 3, "", "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TProgramRun run;
        run.Pages({{"a.htm", "a"}});
        TForm1& form = run.Start();
        if (c.Row > 0)
            run.Type(c.Row, c.Search, c.Replacement);
        EXPECT_TRUE(run.Press().empty());
        EXPECT_FALSE(form.Button1->isEnabled());
        EXPECT_EQ(run.Status(), "HTML File Count : 1");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(std::filesystem::exists(run.Dir / "NewFile"));
        EXPECT_EQ(form.Memo1.DocumentText(), "Memo1");
        // A second press is impossible: the button stays disabled.
        run.Press();
        EXPECT_FALSE(std::filesystem::exists(run.Dir / "NewFile"));
    }
}

TEST_F(BatchRun, OutputFolderCases)
{
    struct Case {
        const char* What;
        std::function<void(const TTempDir&)> Prepare;
        std::vector<std::string> Errors;
        TFiles Outputs;
    };
    const Case cases[] = {
        {"missing", [](const TTempDir&) {}, {}, {{"a.htm", "b\r\n"}, {"c.htm", "c\r\n"}}},
        {"empty",
         [](const TTempDir& d) { std::filesystem::create_directory(d / "NewFile"); },
         {},
         {{"a.htm", "b\r\n"}, {"c.htm", "c\r\n"}}},
        {"holding other files",
         [](const TTempDir& d) {
             std::filesystem::create_directory(d / "NewFile");
             WriteBytes(d / "NewFile/other.htm", "keep me");
             WriteBytes(d / "NewFile/a.htm", std::string(1000, 'o'));
         },
         {},
         {{"a.htm", "b\r\n"}, {"c.htm", "c\r\n"}, {"other.htm", "keep me"}}},
        {"a plain file",
         [](const TTempDir& d) { WriteBytes(d / "NewFile", "not a folder"); },
         {"ﾌｧｲﾙ ./NewFile/c.htm を作成できません."},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TProgramRun run;
        run.Pages({{"a.htm", "a"}, {"c.htm", "c"}});
        c.Prepare(run.Dir);
        run.Start();
        run.Type(1, "a", "b");
        EXPECT_EQ(run.Press(), c.Errors);
        EXPECT_EQ(run.Outputs(), c.Outputs);
        EXPECT_EQ(run.Status(), c.Errors.empty() ? Done : Wait);
        if (!std::filesystem::is_directory(run.Dir / "NewFile")) {
            EXPECT_EQ(ReadBytes(run.Dir / "NewFile"), "not a folder");
        }
    }
}

TEST_F(BatchRun, FilesGoLastListedFirstEachWholeBeforeTheNext)
{
    Pages({{"1one.htm", "one"}, {"2two.htm", "two"}, {"3three.htm", "three"}});
    std::filesystem::create_directory(Dir / "NewFile");
    TFolderWatch watch(Dir / "NewFile", IN_CLOSE_WRITE | IN_OPEN);
    Start();
    Type(1, "o", "0");
    EXPECT_TRUE(Press().empty());

    const std::vector<std::string> events = watch.Events();
    EXPECT_EQ(events,
              (std::vector<std::string>{"open 3three.htm", "done 3three.htm", "open 2two.htm",
                                        "done 2two.htm", "open 1one.htm", "done 1one.htm"}));
    EXPECT_EQ(
        Outputs(),
        (TFiles{{"1one.htm", "0ne\r\n"}, {"2two.htm", "tw0\r\n"}, {"3three.htm", "three\r\n"}}));
}

TEST_F(BatchRun, AnErrorEndsTheRunWhereItStands)
{
    struct Case {
        const char* What;
        // What happens after start-up, before the press.
        std::function<std::unique_ptr<TLockingChild>(const TTempDir&)> Break;
        std::string Error;
        TFiles Outputs;
    };
    const Case cases[] = {
        {"a listed file removed",
         [](const TTempDir& d) {
             std::filesystem::remove(d / "2two.htm");
             return nullptr;
         },
         "ﾌｧｲﾙ 2two.htm は開けません.",
         {{"3three.htm", "thrEE\r\n"}}},
        {"a listed file held by another program",
         [](const TTempDir& d) { return std::make_unique<TLockingChild>(d / "2two.htm"); },
         "ﾌｧｲﾙ 2two.htm は開けません.",
         {{"3three.htm", "thrEE\r\n"}}},
        {"an output held by another program",
         [](const TTempDir& d) {
             std::filesystem::create_directory(d / "NewFile");
             WriteBytes(d / "NewFile/2two.htm", "old two");
             WriteBytes(d / "NewFile/1one.htm", "old one");
             return std::make_unique<TLockingChild>(d / "NewFile/2two.htm");
         },
         "ﾌｧｲﾙ ./NewFile/2two.htm を作成できません.",
         {{"1one.htm", "old one"}, {"2two.htm", "old two"}, {"3three.htm", "thrEE\r\n"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TProgramRun run;
        run.Pages({{"1one.htm", "one"}, {"2two.htm", "two"}, {"3three.htm", "three"}});
        TForm1& form = run.Start();
        const auto holder = c.Break(run.Dir);
        if (!std::filesystem::exists(run.Dir / "2two.htm"))
            run.Removed("2two.htm");
        run.Type(1, "e", "E");
        EXPECT_EQ(run.Press(), std::vector<std::string>{c.Error});
        EXPECT_EQ(run.Outputs(), c.Outputs);
        // The status keeps the wait text, the cursor is back, the button stays off, and the
        // window still takes input and closes.
        EXPECT_EQ(run.Status(), Wait);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(form.Button1->isEnabled());
        QTest::keyClicks(form.Edit3, "still");
        EXPECT_EQ(form.Edit3->text(), "still");
        EXPECT_TRUE(form.close());
    }
}

TEST_F(BatchRun, TextGrowingPastTheCapacityIsAnError)
{
    Pages({{"a.htm", "aab"}, {"b.htm", "b"}});
    Start(64);
    Type(1, "ab", "bbaa");
    EXPECT_EQ(Press(), (std::vector<std::string>{"文字列の大きさが ﾒﾓ の制限を越えました."}));
    EXPECT_EQ(Outputs(), (TFiles{{"b.htm", "b\r\n"}}));
    // The loaded document stays in the buffer: the replacements never reached it.
    EXPECT_EQ(Form->Memo1.DocumentText(), "aab");
}

TEST_F(BatchRun, PageLargerThanTheCapacityGetsNoOutput)
{
    Pages({{"a.htm", "small"}, {"b.htm", "far too large"}, {"c.htm", "tiny"}});
    Start(8);
    Type(1, "a", "A");
    EXPECT_EQ(Press(), (std::vector<std::string>{"文字列の大きさが ﾒﾓ の制限を越えました."}));
    EXPECT_EQ(Outputs(), (TFiles{{"c.htm", "tiny\r\n"}}));
    EXPECT_EQ(Status(), Wait);
}

TEST_F(BatchRun, NoSourceIsReachedThroughALink)
{
    struct Case {
        const char* What;
        std::function<void(const TTempDir&)> Prepare;
    };
    const Case cases[] = {
        {"NewFile is a link to the working folder",
         [](const TTempDir& d) {
             std::filesystem::create_directory_symlink(d.Path(), d / "NewFile");
         }},
        {"a hard link in NewFile to a source",
         [](const TTempDir& d) {
             std::filesystem::create_directory(d / "NewFile");
             std::filesystem::create_hard_link(d / "b.htm", d / "NewFile/b.htm");
         }},
        {"a symbolic link in NewFile",
         [](const TTempDir& d) {
             std::filesystem::create_directory(d / "NewFile");
             std::filesystem::create_symlink(d / "a.htm", d / "NewFile/b.htm");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TProgramRun run;
        run.Pages({{"a.htm", "aaa"}, {"b.htm", "bab"}});
        c.Prepare(run.Dir);
        run.Start();
        run.Type(1, "a", "X");
        EXPECT_EQ(run.Press(), std::vector<std::string>{"ﾌｧｲﾙ ./NewFile/b.htm を作成できません."});
        EXPECT_EQ(ReadBytes(run.Dir / "a.htm"), "aaa");
        EXPECT_EQ(ReadBytes(run.Dir / "b.htm"), "bab");
    }
}

TEST_F(BatchRun, ShiftJisPagesWithAJapanesePair)
{
    SetSystemCodePage(TCodePage::FromCodeset("SHIFT_JIS"));
    const TCodePage& cp = SystemCodePage();
    const std::string notice = *cp.FromUtf8("お知らせ");
    const std::string guide = *cp.FromUtf8("ご案内");
    // 0x82 0xA8 is "お"; its trail byte must not be taken for anything else.
    Pages({{"news.htm", "<h1>" + notice + "</h1>\n<p>" + notice + "\x82\r</p>"},
           {"plain.htm", "Copyright 2003\r\n"}});
    Start();
    Type(1, QString::fromUtf8("お知らせ"), QString::fromUtf8("ご案内"));
    Type(2, "2003", "2026");
    EXPECT_TRUE(Press().empty());
    EXPECT_EQ(Outputs(),
              (TFiles{{"news.htm", "<h1>" + guide + "</h1>\r\n<p>" + guide + "\x82\r</p>\r\n"},
                      {"plain.htm", "Copyright 2026\r\n\r\n"}}));
}

TEST_F(BatchRun, TheExamplePages)
{
    SetSystemCodePage(TCodePage::FromCodeset("SHIFT_JIS"));
    const TCodePage& cp = SystemCodePage();
    const std::filesystem::path examples = WORDMILL_EXAMPLES_DIR;
    for (const auto& e : std::filesystem::directory_iterator(examples))
        std::filesystem::copy_file(e.path(), Dir.Path() / e.path().filename());
    Start();
    EXPECT_EQ(Status(), "HTML File Count : 3");
    Type(1, "Copyright 2003", "Copyright 2026");
    Type(2, QString::fromUtf8("お知らせ"), QString::fromUtf8("ご案内"));
    EXPECT_TRUE(Press().empty());
    const TFiles outputs = Outputs();
    ASSERT_EQ(outputs.size(), 3u);
    for (const auto& [name, bytes] : outputs) {
        SCOPED_TRACE(name);
        const std::string source = ReadBytes(Dir / name);
        EXPECT_EQ(bytes.find("Copyright 2003"), std::string::npos);
        EXPECT_NE(bytes.find("Copyright 2026"), std::string::npos);
        EXPECT_EQ(bytes.find(*cp.FromUtf8("お知らせ")), std::string::npos);
        // Every line break is CR LF, and there is one more than the source had lines.
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ASSERT_GT(i, 0u);
                EXPECT_EQ(bytes[i - 1], '\r');
            }
        }
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    }
    EXPECT_NE(outputs.at("oshirase.htm").find(*cp.FromUtf8("株式会社サンプルのご案内")),
              std::string::npos);
}
