// Faults from outside the program during a run: a full disk, sources that change or vanish
// between the scan and the run, a NewFile the program may not write, entries that must never be
// opened, names that could garble a message, a folder of far too many pages, and memory running
// out. Each run must leave every source byte as it was, write nothing outside NewFile, and
// report the fault in the error box as the program reports any error, the window going on.

#include "BoxWatcher.h"
#include "ChildProcess.h"
#include "CodePage.h"
#include "ErrorMessage.h"
#include "Exceptions.h"
#include "FileAccess.h"
#include "FolderWatch.h"
#include "FormAccess.h"
#include "TestChild.h"
#include "TestFiles.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using TTree = std::map<std::string, std::string>;

// Every entry below a folder, nothing followed: a regular file with its bytes, a folder, a link
// with its target, and any other kind by its name. `skip` (a relative path) is left out.
TTree Tree(const fs::path& root, const std::string& skip = {})
{
    TTree tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string rel = it->path().lexically_relative(root).string();
        if (!skip.empty() && (rel == skip || rel.rfind(skip + "/", 0) == 0)) {
            it.disable_recursion_pending();
            continue;
        }
        switch (it->symlink_status().type()) {
        case fs::file_type::regular:
            tree[rel] = "file " + ReadBytes(it->path().string());
            break;
        case fs::file_type::directory:
            tree[rel] = "folder";
            break;
        case fs::file_type::symlink:
            tree[rel] = "link to " + fs::read_symlink(it->path()).string();
            break;
        case fs::file_type::fifo:
            tree[rel] = "fifo";
            break;
        case fs::file_type::socket:
            tree[rel] = "socket";
            break;
        default:
            tree[rel] = "other";
        }
    }
    return tree;
}

TTree Files(std::initializer_list<std::pair<const std::string, std::string>> files)
{
    TTree tree;
    for (const auto& [name, bytes] : files)
        tree[name] = "file " + bytes;
    return tree;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool UnderAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool UnderAddressSanitizer = false;
#endif

const std::string Wait = "Plaese wait a moment .....";
const std::string Done = "New File OK. See you again.";

// The program started in a folder, with a way to type a pair and press the button.
class TWindow {
public:
    explicit TWindow(const std::string& folder,
                     std::size_t capacity = TDocumentBuffer::DefaultCapacity)
        : Here(folder), Form(nullptr, capacity)
    {
        Form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Form));
    }

    void Type(const QString& search, const QString& replacement)
    {
        QTest::keyClicks(Form.Edit1, search);
        QTest::keyClicks(Form.Edit2, replacement);
    }

    // The texts of the error boxes the press brought up.
    std::vector<std::string> Press()
    {
        TBoxWatcher watcher;
        QTest::mouseClick(Form.Button1, Qt::LeftButton);
        std::vector<std::string> texts;
        for (const auto& box : watcher.Seen())
            texts.push_back(box.Text);
        return texts;
    }

    std::string Status() const { return Form.Label6->text().toStdString(); }

    // After an error: the wait text stays, the cursor is back, the button stays off, and the
    // window still takes input.
    void ExpectItGoesOn()
    {
        EXPECT_EQ(Status(), Wait);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(Form.Button1->isEnabled());
        QTest::keyClicks(Form.Edit3, "still");
        EXPECT_EQ(Form.Edit3->text(), "still");
    }

    TChdir Here;
    TForm1 Form;
};

// A working folder "work" beside a folder "outside" that links may point into. From the press
// on nothing but NewFile may change: the whole tree, NewFile left out, must be at the end what
// it was at the press.
class TFaultRun {
public:
    TFaultRun()
    {
        SetSystemCodePage(TCodePage::FromCodeset("UTF-8"));
        fs::create_directory(Work);
        fs::create_directory(Outside);
        WriteBytes(Outside + "/page.htm", "outside");
    }
    ~TFaultRun()
    {
        Window.reset();
        if (AtPress) {
            EXPECT_EQ(Tree(Root.Path(), "work/NewFile"), *AtPress)
                << "something outside NewFile changed";
        }
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor was left behind";
    }
    TFaultRun(const TFaultRun&) = delete;
    TFaultRun& operator=(const TFaultRun&) = delete;

    std::string At(const std::string& name) const { return Work + "/" + name; }
    void Page(const std::string& name, const std::string& bytes) { WriteBytes(At(name), bytes); }

    TWindow& Start(std::size_t capacity = TDocumentBuffer::DefaultCapacity)
    {
        Window = std::make_unique<TWindow>(Work, capacity);
        return *Window;
    }

    std::vector<std::string> Press()
    {
        TakePicture();
        return Window->Press();
    }

    // The tree as it must stay. Press takes it; a test that presses in another process, or
    // watches what the press opens, takes it before.
    void TakePicture() { AtPress = Tree(Root.Path(), "work/NewFile"); }

    TTree Outputs() const
    {
        std::error_code ec;
        if (!fs::is_directory(Work + "/NewFile", ec))
            return {};
        return Tree(Work + "/NewFile");
    }

    TTempDir Root;
    const std::string Work = Root / "work";
    const std::string Outside = Root / "outside";
    std::unique_ptr<TWindow> Window;

private:
    std::optional<TTree> AtPress;
};

} // namespace

TEST(Fault, DiskFullWhileWriting)
{
    if (ChildRole() == "disk full") {
        SetSystemCodePage(TCodePage::FromCodeset("UTF-8"));
        TWindow window(ChildFolder());
        window.Type("o", "0");
        // A file size limit stands in for the full disk: writes stop at 4096 bytes.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        EXPECT_EQ(window.Press(), std::vector<std::string>{"ｽﾄﾘｰﾑへの書き込みｴﾗｰ."});
        window.ExpectItGoesOn();
        return;
    }
    TFaultRun run;
    run.Page("a.htm", std::string(10000, 'o'));
    run.Page("b.htm", "boo");
    run.TakePicture();
    EXPECT_EQ(RunTestInChild("disk full", run.Work), 0);
    // The page converted before stays whole; the one being written keeps what reached the disk.
    EXPECT_EQ(run.Outputs(), Files({{"a.htm", std::string(4096, '0')}, {"b.htm", "b00\r\n"}}));
}

TEST(Fault, SourceChangingBetweenItsSizeAndItsRead)
{
    struct Case {
        const char* What;
        std::function<int(const std::string&)> Change; // by another process; 0 when done
        std::string After;
    };
    const Case cases[] = {
        {"grows by a byte",
         [](const std::string& path) {
             const int fd = open(path.c_str(), O_WRONLY | O_APPEND);
             return fd >= 0 && write(fd, "+", 1) == 1 ? 0 : 1;
         },
         "0123456789+"},
        {"shrinks by a byte", [](const std::string& path) { return truncate(path.c_str(), 9); },
         "012345678"},
        {"shrinks to nothing", [](const std::string& path) { return truncate(path.c_str(), 0); },
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TTempDir dir;
        const std::string path = dir / "page.htm";
        WriteBytes(path, "0123456789");
        const TFileHandle file = OpenSourceFile(path);
        const std::uint64_t size = FileSize(file);
        ASSERT_EQ(RunInChild([&] { return c.Change(path); }), 0);
        std::string buffer(size, '\0');
        EXPECT_EQ(MessageOf<EReadError>([&] { ReadWhole(file, buffer.data(), buffer.size()); }),
                  "ｽﾄﾘｰﾑからの読み込みｴﾗｰ");
        EXPECT_EQ(ReadBytes(path), c.After) << "the reader changed the file";
    }
}

TEST(Fault, ListedPagesChangingBetweenTheScanAndTheRun)
{
    struct Case {
        const char* What;
        std::function<void(const TFaultRun&)> Change;
        std::string Error;
        TTree Outputs;
    };
    const auto gone = [](const TFaultRun& r) { fs::remove(r.At("b.htm")); };
    const Case cases[] = {
        {"renamed", [](const TFaultRun& r) { fs::rename(r.At("b.htm"), r.At("b.txt")); },
         "ﾌｧｲﾙ b.htm は開けません.", Files({{"c.htm", "c\r\n"}})},
        {"renamed to another page name",
         [](const TFaultRun& r) { fs::rename(r.At("b.htm"), r.At("bb.htm")); },
         "ﾌｧｲﾙ b.htm は開けません.", Files({{"c.htm", "c\r\n"}})},
        {"replaced by a folder",
         [&](const TFaultRun& r) {
             gone(r);
             fs::create_directory(r.At("b.htm"));
         },
         "ﾌｧｲﾙ b.htm は開けません.", Files({{"c.htm", "c\r\n"}})},
        {"replaced by a FIFO",
         [&](const TFaultRun& r) {
             gone(r);
             ASSERT_EQ(mkfifo(r.At("b.htm").c_str(), 0644), 0);
         },
         "ﾌｧｲﾙ b.htm は開けません.", Files({{"c.htm", "c\r\n"}})},
        {"replaced by a link to nothing",
         [&](const TFaultRun& r) {
             gone(r);
             fs::create_symlink(r.Outside + "/nothing.htm", r.At("b.htm"));
         },
         "ﾌｧｲﾙ b.htm は開けません.", Files({{"c.htm", "c\r\n"}})},
        {"removed, its old output kept",
         [&](const TFaultRun& r) {
             fs::create_directory(r.Work + "/NewFile");
             WriteBytes(r.Work + "/NewFile/b.htm", "old");
             gone(r);
         },
         "ﾌｧｲﾙ b.htm は開けません.", Files({{"b.htm", "old"}, {"c.htm", "c\r\n"}})},
        {"the first to be converted removed",
         [](const TFaultRun& r) { fs::remove(r.At("c.htm")); },
         "ﾌｧｲﾙ c.htm は開けません.",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TFaultRun run;
        run.Page("a.htm", "a");
        run.Page("b.htm", "b");
        run.Page("c.htm", "c");
        TWindow& window = run.Start();
        EXPECT_EQ(window.Status(), "HTML File Count : 3");
        c.Change(run);
        window.Type("a", "A");
        run.TakePicture();
        TFolderWatch watch(run.Work);
        EXPECT_EQ(window.Press(), std::vector<std::string>{c.Error});
        EXPECT_EQ(run.Outputs(), c.Outputs);
        for (const auto& name : watch.Opened())
            EXPECT_NE(name, "b.htm") << "what took the page's place was opened";
        window.ExpectItGoesOn();
    }
}

TEST(Fault, NewFileThatTheUserMayNotWrite)
{
    struct Case {
        const char* What;
        std::function<void(const TFaultRun&)> Prepare;
        TTree Outputs;
    };
    const Case cases[] = {
        {"NewFile read-only",
         [](const TFaultRun& r) {
             fs::create_directory(r.Work + "/NewFile");
             chmod((r.Work + "/NewFile").c_str(), 0555);
         },
         {}},
        {"an old output read-only",
         [](const TFaultRun& r) {
             fs::create_directory(r.Work + "/NewFile");
             chmod((r.Work + "/NewFile").c_str(), 0777);
             WriteBytes(r.Work + "/NewFile/b.htm", "old");
             chmod((r.Work + "/NewFile/b.htm").c_str(), 0444);
         },
         Files({{"b.htm", "old"}})},
        {"no NewFile, the working folder read-only",
         [](const TFaultRun& r) { chmod(r.Work.c_str(), 0555); },
         {}},
    };
    if (ChildRole() == "unprivileged") {
        // Root may write anything; the run is made by a user without any rights of its own.
        ASSERT_EQ(setgroups(0, nullptr), 0);
        ASSERT_EQ(setgid(65534), 0);
        ASSERT_EQ(setuid(65534), 0);
        // Still dumpable, so that the leak checker of a sanitizer build may look at the process.
        prctl(PR_SET_DUMPABLE, 1);
        SetSystemCodePage(TCodePage::FromCodeset("UTF-8"));
        TWindow window(ChildFolder());
        window.Type("b", "B");
        EXPECT_EQ(window.Press(),
                  std::vector<std::string>{"ﾌｧｲﾙ ./NewFile/b.htm を作成できません."});
        window.ExpectItGoesOn();
        return;
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TFaultRun run;
        run.Page("a.htm", "a");
        run.Page("b.htm", "b");
        // The user may go through every folder and read every page.
        chmod(run.Root.Path().c_str(), 0755);
        chmod(run.Work.c_str(), 0755);
        c.Prepare(run);
        run.TakePicture();
        EXPECT_EQ(RunTestInChild("unprivileged", run.Work), 0);
        EXPECT_EQ(run.Outputs(), c.Outputs);
    }
}

TEST(Fault, EntriesThatAreNeverOpened)
{
    struct Case {
        const char* What;
        std::function<void(const std::string&)> Make;
        std::string Kind;
    };
    const Case cases[] = {
        {"a FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }, "fifo"},
        {"a socket", [](const std::string& p) { MakeSocket(p); }, "socket"},
        {"a link to nothing", [](const std::string& p) { fs::create_symlink("../nothing.htm", p); },
         "link to ../nothing.htm"},
        {"a link to itself", [](const std::string& p) { fs::create_symlink("x.htm", p); },
         "link to x.htm"},
    };
    // An open that blocked would hold the test for good; end it instead.
    alarm(120);
    for (const auto& c : cases) {
        for (const bool inNewFile : {false, true}) {
            SCOPED_TRACE(std::string(c.What) + (inNewFile ? " in NewFile" : " among the pages"));
            TFaultRun run;
            run.Page("a.htm", "a");
            std::string folder = run.Work;
            if (inNewFile) {
                run.Page("x.htm", "x");
                folder += "/NewFile";
                fs::create_directory(folder);
            }
            c.Make(folder + "/x.htm");
            TWindow& window = run.Start();
            window.Type("a", "A");
            run.TakePicture();
            TFolderWatch watch(folder);
            if (inNewFile) {
                EXPECT_EQ(window.Status(), "HTML File Count : 2");
                EXPECT_EQ(window.Press(),
                          std::vector<std::string>{"ﾌｧｲﾙ ./NewFile/x.htm を作成できません."});
                EXPECT_EQ(run.Outputs(), (TTree{{"x.htm", c.Kind}}));
                window.ExpectItGoesOn();
            } else {
                EXPECT_EQ(window.Status(), "HTML File Count : 1");
                EXPECT_TRUE(window.Press().empty());
                EXPECT_EQ(run.Outputs(), Files({{"a.htm", "A\r\n"}}));
                EXPECT_EQ(window.Status(), Done);
            }
            for (const auto& name : watch.Opened())
                EXPECT_NE(name, "x.htm") << "the entry was opened";
        }
    }
    alarm(0);
}

TEST(Fault, NamesThatCouldGarbleTheMessage)
{
    struct Case {
        const char* Codeset;
        std::string Name;
        std::string Shown;
    };
    const Case cases[] = {
        {"UTF-8", "bad\xFF\xFE.htm", "bad\uFFFD\uFFFD.htm"},
        {"UTF-8", "ctl\x01\x1B[31m\x7F.htm", "ctl\u2401\u241B[31m\u2421.htm"},
        {"UTF-8", "two\nlines\r.htm", "two\u240Alines\u240D.htm"},
        {"UTF-8", "nel\xC2\x85rlo\xE2\x80\xAEmth.htm", "nel\uFFFDrlo\uFFFDmth.htm"},
        {"UTF-8", "far\xF6\xB0\xB0\xB0.htm", "far\uFFFD\uFFFD\uFFFD\uFFFD.htm"},
        {"SHIFT_JIS", "\x93\xFA\x96\x7B\x80\xFD.htm", "日本\uFFFD\uFFFD.htm"},
        {"SHIFT_JIS", "cut\x82.htm", "cut\uFFFD.htm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Shown);
        TFaultRun run;
        SetSystemCodePage(TCodePage::FromCodeset(c.Codeset));
        run.Page(c.Name, "x");
        TWindow& window = run.Start();
        EXPECT_EQ(window.Status(), "HTML File Count : 1");
        fs::remove(run.At(c.Name));
        window.Type("x", "y");
        EXPECT_EQ(run.Press(), std::vector<std::string>{"ﾌｧｲﾙ " + c.Shown + " は開けません."});
        window.ExpectItGoesOn();
    }
}

TEST(Fault, TenThousandPagesTakeTheFirstFiveHundred)
{
    TFaultRun run;
    TTree expected;
    for (int i = 0; i < 10000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%05d.htm", i);
        run.Page(name, "o");
        if (i < 500)
            expected[name] = "file 0\r\n";
    }
    TWindow& window = run.Start();
    EXPECT_EQ(window.Status(), "HTML File Count : 500");
    window.Type("o", "0");
    EXPECT_TRUE(run.Press().empty());
    EXPECT_EQ(window.Status(), Done);
    EXPECT_EQ(run.Outputs(), expected);
}

TEST(Fault, MemoryRunningOutDuringAConversion)
{
    if (UnderAddressSanitizer)
        GTEST_SKIP() << "AddressSanitizer ends the process when an allocation fails; "
                        "std::bad_alloc is never raised";
    const std::string growth(600, 'a');
    if (ChildRole() == "little memory") {
        SetSystemCodePage(TCodePage::FromCodeset("UTF-8"));
        TWindow window(ChildFolder());
        window.Type("a", QString::fromStdString(growth));
        // Room for what the window needs, not for the 600 MiB that the second page grows to.
        std::ifstream status("/proc/self/status");
        std::uint64_t kib = 0;
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmSize:", 0) == 0)
                kib = std::stoull(line.substr(7));
        ASSERT_GT(kib, 0u);
        const rlim_t bytes = (kib << 10) + (rlim_t{256} << 20);
        const rlimit limit{bytes, bytes};
        ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
        EXPECT_EQ(window.Press(), std::vector<std::string>{"メモリが不足しています."});
        window.ExpectItGoesOn();
        return;
    }
    TFaultRun run;
    run.Page("a.htm", std::string(std::size_t{1} << 20, 'a'));
    run.Page("b.htm", "bab");
    run.TakePicture();
    EXPECT_EQ(RunTestInChild("little memory", run.Work), 0);
    EXPECT_EQ(run.Outputs(), Files({{"b.htm", "b" + growth + "b\r\n"}}));
}
