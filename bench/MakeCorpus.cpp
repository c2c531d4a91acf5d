// Writes the benchmark corpus into OUT/pages, and the same five rows as scripts for GNU sed
// (OUT/pairs.sed) and perl (OUT/pairs.pl), so the batch can be timed beside those tools.
//
//     wordmill_make_corpus OUT [PAGES]

#include "Corpus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void Write(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string Escape(const std::string& text, const std::string& special)
{
    std::string out;
    for (char c : text) {
        if (special.find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// One s command per row, the last row first as the window applies them; bytes under LC_ALL=C.
std::string SedScript()
{
    std::string script;
    const auto& pairs = BenchPairs();
    for (auto row = pairs.rbegin(); row != pairs.rend(); ++row)
        script += "s/" + Escape(row->Search, "\\.*[]^$/") + "/" + Escape(row->Replacement, "\\&/") +
                  "/g\n";
    return script;
}

// For perl -0777 -pi: the whole file is one record. Line breaks to CR LF, the rows last first,
// one CR LF at the end: what the window writes for these pages.
std::string PerlScript()
{
    std::string script = "BEGIN { @rows = (\n";
    const auto& pairs = BenchPairs();
    for (auto row = pairs.rbegin(); row != pairs.rend(); ++row)
        script += "    ['" + Escape(row->Search, "\\'") + "', '" + Escape(row->Replacement, "\\'") +
                  "'],\n";
    script += ") }\n"
              "s/\\r\\n|\\r|\\n/\\r\\n/g;\n"
              "for my $row (@rows) { s/\\Q$row->[0]\\E/$row->[1]/g }\n"
              "$_ .= \"\\r\\n\";\n";
    return script;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUT [PAGES]\n", argv[0]);
        return 2;
    }
    try {
        const std::filesystem::path out = argv[1];
        const int pages = argc == 3 ? std::atoi(argv[2]) : CorpusPages;
        std::filesystem::create_directories(out / "pages");
        std::size_t total = 0;
        std::size_t largest = 0;
        for (int i = 0; i < pages; ++i) {
            const AnsiString page = MakePage(i);
            Write(out / "pages" / PageName(i), page);
            total += page.size();
            largest = std::max(largest, page.size());
        }
        Write(out / "pairs.sed", SedScript());
        Write(out / "pairs.pl", PerlScript());
        std::printf("corpus: %d pages, %zu bytes, largest %zu bytes, in %s\n", pages, total,
                    largest, (out / "pages").c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
