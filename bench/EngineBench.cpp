// The conversion library on its own: line-break normalisation and the replace-all engine in
// bytes per second on corpus pages, beside memcpy of the same bytes; and the restart rule's
// worst cases, whose time per byte has to stay flat as the text doubles.
//
// Each call gets a fresh copy of its input, made outside the timed part: both functions take
// their text by value, as the window moves each page in. The heap is kept warm, as it is in a
// batch after its first pages: otherwise glibc hands the freed pages back after each call and
// the figures would measure the kernel zeroing them again, depending on where earlier
// benchmarks left the heap.

#include "CodePage.h"
#include "Corpus.h"
#include "DocumentBuffer.h"
#include "LineBreaks.h"
#include "ReplaceEngine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <malloc.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int BenchPages = 16;
constexpr std::size_t MiB = 1 << 20;

const std::vector<AnsiString>& Pages()
{
    static const std::vector<AnsiString> pages = [] {
        std::vector<AnsiString> out;
        for (int i = 0; i < BenchPages; ++i)
            out.push_back(MakePage(i));
        return out;
    }();
    return pages;
}

// The pages as the pairs meet them in the window: line breaks already normalised.
const std::vector<AnsiString>& NormalisedPages()
{
    static const std::vector<AnsiString> pages = [] {
        const TLeadByteSet leads = TCodePage::FromCodeset("SHIFT_JIS").LeadByteSet();
        std::vector<AnsiString> out;
        for (const auto& page : Pages())
            out.push_back(NormaliseLineBreaks(page, leads));
        return out;
    }();
    return pages;
}

std::size_t TotalSize(const std::vector<AnsiString>& pages)
{
    std::size_t total = 0;
    for (const auto& page : pages)
        total += page.size();
    return total;
}

// Runs work(prepare(input)) on each input per iteration, timing only the work.
template <typename TPrepare, typename TWork>
void TimeEach(benchmark::State& state, const std::vector<AnsiString>& inputs, TPrepare&& prepare,
              TWork&& work)
{
    for (auto _ : state) {
        double seconds = 0;
        for (const auto& input : inputs) {
            AnsiString text = prepare(input);
            const auto start = TClock::now();
            AnsiString result = work(std::move(text));
            benchmark::DoNotOptimize(result.data());
            seconds += std::chrono::duration<double>(TClock::now() - start).count();
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(TotalSize(inputs)));
}

template <typename TWork>
void TimeEach(benchmark::State& state, const std::vector<AnsiString>& inputs, TWork&& work)
{
    TimeEach(
        state, inputs, [](const AnsiString& input) { return input; }, work);
}

void BM_Memcpy(benchmark::State& state)
{
    const auto& pages = Pages();
    std::vector<char> target(TotalSize(pages));
    for (auto _ : state) {
        char* out = target.data();
        for (const auto& page : pages) {
            std::memcpy(out, page.data(), page.size());
            out += page.size();
        }
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(target.size()));
}

void BM_NormaliseLineBreaks(benchmark::State& state)
{
    const TLeadByteSet leads = TCodePage::FromCodeset("SHIFT_JIS").LeadByteSet();
    TimeEach(state, Pages(),
             [&](AnsiString text) { return NormaliseLineBreaks(std::move(text), leads); });
}

// As the document buffer loads a page: into storage with room for the line breaks.
void BM_NormaliseLineBreaksInOwnBuffer(benchmark::State& state)
{
    const TLeadByteSet leads = TCodePage::FromCodeset("SHIFT_JIS").LeadByteSet();
    TimeEach(
        state, Pages(),
        [](const AnsiString& input) {
            AnsiString text;
            text.reserve(StorageFor(input.size(), input.size() / 16));
            text = input;
            return text;
        },
        [&](AnsiString text) { return NormaliseLineBreaks(std::move(text), leads); });
}

// Argument: a row of the corpus (0 to 4, each two to four times in a page), or 5 for a text
// that no page holds.
void BM_ReplaceAll(benchmark::State& state)
{
    const auto row = static_cast<std::size_t>(state.range(0));
    AnsiString search, replacement;
    if (row < BenchPairCount) {
        search = BenchPairs()[row].Search;
        replacement = BenchPairs()[row].Replacement;
    } else {
        search = *TCodePage::FromCodeset("SHIFT_JIS").FromUtf8("存在しない");
        replacement = "x";
    }
    state.SetLabel(row < BenchPairCount ? BenchPairs()[row].SearchUtf8 : "(in no page)");
    TimeEach(state, NormalisedPages(), [&](AnsiString text) {
        return ReplaceAll(std::move(text), search, replacement, TDocumentBuffer::DefaultCapacity);
    });
}

// 'aa' -> 'a' on 'a' x N: every replacement makes the next occurrence at the same place.
void BM_RestartAaToA(benchmark::State& state)
{
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * MiB;
    const std::vector<AnsiString> input = {AnsiString(size, 'a')};
    TimeEach(state, input, [](AnsiString text) {
        return ReplaceAll(std::move(text), "aa", "a", TDocumentBuffer::DefaultCapacity);
    });
}

// 'ab' -> 'b' on 'a' x N/2 then 'b' x N/2: each replacement makes an occurrence one byte back.
void BM_RestartAbToB(benchmark::State& state)
{
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * MiB;
    const std::vector<AnsiString> input = {AnsiString(size / 2, 'a') + AnsiString(size / 2, 'b')};
    TimeEach(state, input, [](AnsiString text) {
        return ReplaceAll(std::move(text), "ab", "b", TDocumentBuffer::DefaultCapacity);
    });
}

} // namespace

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_NormaliseLineBreaks)->UseManualTime();
BENCHMARK(BM_NormaliseLineBreaksInOwnBuffer)->UseManualTime();
BENCHMARK(BM_ReplaceAll)->DenseRange(0, BenchPairCount)->UseManualTime();
BENCHMARK(BM_RestartAaToA)
    ->RangeMultiplier(2)
    ->Range(4, 32)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestartAbToB)
    ->RangeMultiplier(2)
    ->Range(4, 32)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
