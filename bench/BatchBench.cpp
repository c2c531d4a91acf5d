// Times the real batch run against the floor of the same work done by the file system alone.
//
//     wordmill_batch_bench PAGES FLOOR RUNS
//
// The window works in PAGES under the Shift-JIS code page, on the offscreen platform, with the
// five corpus rows typed in as a user would; a run is one press of the button, until the status
// line says the run is over. The floor reads every page whole and writes it whole into FLOOR.
// Floor and batch runs alternate, each after a sync so that no run pays for the write-back of
// the one before. The first batch run is the memory run: the peak resident size it reaches
// beside the size with the application and the window made, before the press.
//
// Prints "key value" lines for scripts/bench; ends with 1 when a run does not finish.

#include "CodePage.h"
#include "Corpus.h"
#include "TApplication.h"
#include "Typing.h"
#include "Unit1.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

const QString Done = QStringLiteral("New File OK. See you again.");

long PeakKib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double MillisecondsSince(TClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

// What one run cost the process besides its wall time: where a ratio comes from.
struct TRunCost {
    double Wall = 0;
    double User = 0;
    double System = 0;
    long MinorFaults = 0;
};

class TCostMeter {
public:
    TCostMeter() : FStart(TClock::now()) { getrusage(RUSAGE_SELF, &FUsage); }
    TRunCost Stop() const
    {
        rusage now{};
        getrusage(RUSAGE_SELF, &now);
        auto ms = [](const timeval& a, const timeval& b) {
            return (b.tv_sec - a.tv_sec) * 1e3 + (b.tv_usec - a.tv_usec) / 1e3;
        };
        return {MillisecondsSince(FStart), ms(FUsage.ru_utime, now.ru_utime),
                ms(FUsage.ru_stime, now.ru_stime), now.ru_minflt - FUsage.ru_minflt};
    }

private:
    TClock::time_point FStart;
    rusage FUsage{};
};

// The window as a user leaves it just before the press: started in the folder, shown, the rows
// typed in.
std::unique_ptr<TForm1> ReadyForm()
{
    auto form = std::make_unique<TForm1>();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        throw std::runtime_error("the window was never exposed");
    QLineEdit* boxes[] = {form->Edit1, form->Edit2, form->Edit3, form->Edit4, form->Edit5,
                          form->Edit6, form->Edit7, form->Edit8, form->Edit9, form->Edit10};
    const auto& pairs = BenchPairs();
    for (int row = 0; row < BenchPairCount; ++row) {
        TypeInto(boxes[2 * row], QString::fromStdString(pairs[row].SearchUtf8));
        TypeInto(boxes[2 * row + 1], QString::fromStdString(pairs[row].ReplacementUtf8));
    }
    return form;
}

// An error box would wait for a click for ever; this one closes it and keeps its text.
class TErrorBoxCloser {
public:
    TErrorBoxCloser()
    {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                FText += box->text().toStdString() + " ";
                box->reject();
            }
        });
        FTimer.start();
    }
    const std::string& Text() const { return FText; }

private:
    QTimer FTimer;
    std::string FText;
};

// One press, from the click until the handler has finished.
TRunCost PressAndTime(TForm1& form)
{
    TErrorBoxCloser closer;
    const TCostMeter meter;
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    const TRunCost cost = meter.Stop();
    if (form.Label6->text() != Done)
        throw std::runtime_error("the run did not finish: status \"" +
                                 form.Label6->text().toStdString() + "\" " + closer.Text());
    return cost;
}

class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

// What no conversion can undercut: every page read whole, then written whole under its name
// into `to`, through one buffer that is never zero-filled.
TRunCost TimeFloor(const std::vector<std::string>& names, const std::filesystem::path& to)
{
    std::unique_ptr<char[]> buffer;
    std::size_t bufferSize = 0;
    const TCostMeter meter;
    for (const auto& name : names) {
        const TFd in(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st;
        if (in.Get() < 0 || fstat(in.Get(), &st) != 0)
            throw std::runtime_error("floor: cannot open " + name);
        const auto size = static_cast<std::size_t>(st.st_size);
        if (size > bufferSize) {
            buffer.reset(new char[size]);
            bufferSize = size;
        }
        for (std::size_t done = 0; done < size;) {
            const ssize_t got = ::read(in.Get(), buffer.get() + done, size - done);
            if (got <= 0)
                throw std::runtime_error("floor: cannot read " + name);
            done += static_cast<std::size_t>(got);
        }
        const std::string outName = (to / name).string();
        const TFd out(::open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (out.Get() < 0)
            throw std::runtime_error("floor: cannot create " + outName);
        for (std::size_t done = 0; done < size;) {
            const ssize_t put = ::write(out.Get(), buffer.get() + done, size - done);
            if (put <= 0)
                throw std::runtime_error("floor: cannot write " + outName);
            done += static_cast<std::size_t>(put);
        }
    }
    return meter.Stop();
}

// Prints "<name>_best" and "<name>_median": the lowest of the values, and their median.
void Show(const std::string& name, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    std::printf("%s_best %.3f\n%s_median %.3f\n", name.c_str(), values.front(), name.c_str(),
                median);
}

void Report(const std::string& what, const std::vector<TRunCost>& runs)
{
    auto show = [&](const char* figure, auto field) {
        std::vector<double> values;
        for (const auto& run : runs)
            values.push_back(static_cast<double>(field(run)));
        Show(what + "_" + figure, std::move(values));
    };
    show("ms", [](const TRunCost& r) { return r.Wall; });
    show("user_ms", [](const TRunCost& r) { return r.User; });
    show("sys_ms", [](const TRunCost& r) { return r.System; });
    show("faults", [](const TRunCost& r) { return r.MinorFaults; });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PAGES FLOOR RUNS\n", argv[0]);
        return 2;
    }
    const std::filesystem::path pages = std::filesystem::absolute(argv[1]);
    const std::filesystem::path floor = std::filesystem::absolute(argv[2]);
    const int runs = std::max(1, std::atoi(argv[3]));

    qputenv("QT_QPA_PLATFORM", "offscreen");
    SetSystemCodePage(TCodePage::FromCodeset("SHIFT_JIS"));
    int qtArgc = 1;
    TApplication application(qtArgc, argv);
    try {
        std::filesystem::create_directories(floor);
        std::filesystem::current_path(pages);
        std::vector<std::string> names;
        std::uintmax_t bytes = 0;
        std::uintmax_t largest = 0;
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            if (entry.path().extension() != ".htm" || !entry.is_regular_file())
                continue;
            names.push_back(entry.path().filename().string());
            bytes += entry.file_size();
            largest = std::max(largest, entry.file_size());
        }
        std::sort(names.begin(), names.end());
        if (names.empty())
            throw std::runtime_error("no pages in " + pages.string());

        // The memory run; it also makes NewFile, so every timed run replaces its outputs.
        auto form = ReadyForm();
        const long baseline = PeakKib();
        PressAndTime(*form);
        const long peak = PeakKib();
        form.reset();
        TimeFloor(names, floor);

        std::vector<TRunCost> floorRuns;
        std::vector<TRunCost> batchRuns;
        for (int run = 0; run < runs; ++run) {
            sync();
            floorRuns.push_back(TimeFloor(names, floor));
            form = ReadyForm();
            sync();
            batchRuns.push_back(PressAndTime(*form));
            form.reset();
        }
        std::printf("pages %zu\nbytes %ju\nlargest_page %ju\nruns %d\n", names.size(), bytes,
                    largest, runs);
        Report("floor", floorRuns);
        Report("batch", batchRuns);
        // Each batch run against the floor run just before it: drift of the disk between runs
        // then cancels out.
        std::vector<double> ratios;
        for (int run = 0; run < runs; ++run)
            ratios.push_back(batchRuns[run].Wall / floorRuns[run].Wall);
        Show("ratio", std::move(ratios));
        std::printf("rss_baseline_kib %ld\nrss_peak_kib %ld\n", baseline, peak);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
