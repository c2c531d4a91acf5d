#include "Corpus.h"

#include "CodePage.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

// splitmix64: tiny, and the same sequence on every compiler and library, unlike the standard
// distributions.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : FState(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform enough in [low, high] for the small ranges used here.
    std::size_t Between(std::size_t low, std::size_t high)
    {
        return low + static_cast<std::size_t>(Next() % (high - low + 1));
    }
    template <typename T> const T& Pick(const std::vector<T>& items)
    {
        return items[Between(0, items.size() - 1)];
    }

private:
    std::uint64_t FState;
};

AnsiString ToCp932(const std::string& utf8)
{
    static const TCodePage cp932 = TCodePage::FromCodeset("SHIFT_JIS");
    auto bytes = cp932.FromUtf8(utf8);
    if (!bytes)
        throw std::runtime_error("bench corpus: iconv cannot convert to CP932: " + utf8);
    return *bytes;
}

// Words of the pages. Several have 0x5C ('\') or lead-byte values as their second byte (表, ソ,
// 能, 予, 十; hiragana from ら on), the bytes that trip up tools blind to the code page. None of
// them, alone or next to another, makes a search text.
const std::vector<AnsiString>& JapaneseWords()
{
    static const std::vector<AnsiString> words = [] {
        const char* utf8[] = {
            "会社",         "製品",
            "情報",         "表示",
            "ソフト",       "能力",
            "予定",         "十分",
            "問い合わせ",   "営業時間",
            "東京都",       "大阪",
            "新しい",       "サービス",
            "ページ",       "更新",
            "案内",         "詳しく",
            "こちら",       "ください",
            "電話",         "番号",
            "日本語",       "年",
            "月",           "日",
            "です",         "ます",
            "、",           "。",
            "株式会社",     "本社",
            "支店",         "価格",
            "送料",         "無料",
            "ご注文",       "メール",
            "ホームページ", "リンク",
            "最新",         "ニュース",
            "について",     "および",
            "または",       "ありがとうございました",
            "よろしく",     "お願い",
            "いたします",   "られる",
            "わかる",       "それぞれ",
            "カタログ",     "ダウンロード",
            "地図",
        };
        std::vector<AnsiString> out;
        for (const char* w : utf8)
            out.push_back(ToCp932(w));
        return out;
    }();
    return words;
}

const std::vector<AnsiString>& AsciiWords()
{
    static const std::vector<AnsiString> words = {
        "index",  "news",   "top",  "back", "next",   "mail",     "info",   "shop", "item",
        "price",  "2002",   "2001", "TEL",  "FAX",    "HOME",     "page",   "list", "new",
        "&nbsp;", "&copy;", "(c)",  "All",  "Rights", "Reserved", "Sample", "Inc.",
    };
    return words;
}

AnsiString Sentence(TRandom& random, std::size_t minWords, std::size_t maxWords)
{
    AnsiString s;
    const std::size_t count = random.Between(minWords, maxWords);
    for (std::size_t i = 0; i < count; ++i) {
        if (random.Between(0, 5) == 0) {
            s += random.Pick(AsciiWords());
            s += ' ';
        } else {
            s += random.Pick(JapaneseWords());
        }
    }
    return s;
}

std::string Number(TRandom& random, std::size_t high)
{
    return std::to_string(random.Between(1, high));
}

AnsiString BodyLine(TRandom& random)
{
    switch (random.Between(0, 7)) {
    case 0:
        return "<p>" + Sentence(random, 8, 30) + "</p>";
    case 1:
        return "<tr><td width=\"120\" bgcolor=\"#EEEEEE\"><font size=\"2\">" +
               random.Pick(JapaneseWords()) + "</font></td><td><font size=\"2\">" +
               Sentence(random, 4, 16) + "</font></td></tr>";
    case 2:
        return "<a href=\"page" + Number(random, 999) + ".htm\">" + Sentence(random, 1, 4) +
               "</a><br>";
    case 3:
        return Sentence(random, 6, 24) + "<br>";
    case 4:
        return "<li>" + Sentence(random, 3, 12) + "</li>";
    case 5:
        return "<img src=\"images/pic" + Number(random, 300) + ".gif\" width=\"" +
               Number(random, 640) + "\" height=\"" + Number(random, 480) + "\" alt=\"" +
               random.Pick(JapaneseWords()) + "\" border=\"0\">";
    case 6:
        return "<td align=\"right\">" + Number(random, 99) + "," + Number(random, 999) +
               ToCp932("円") + "</td>";
    default:
        return "<!-- " + random.Pick(AsciiWords()) + " " + random.Pick(AsciiWords()) + " -->";
    }
}

} // namespace

const TBenchPairs& BenchPairs()
{
    static const TBenchPairs pairs = [] {
        const char* rows[BenchPairCount][2] = {
            {"お知らせ", "ご案内"},
            {"Copyright 2003", "Copyright 2026"},
            {"株式会社サンプル", "（株）サンプル"},
            {"<font color=\"red\">", "<span class=\"notice\">"},
            {"旧住所", "新しい住所"},
        };
        TBenchPairs out;
        for (int i = 0; i < BenchPairCount; ++i)
            out[i] = {rows[i][0], rows[i][1], ToCp932(rows[i][0]), ToCp932(rows[i][1])};
        return out;
    }();
    return pairs;
}

std::string PageName(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "p%04d.htm", index);
    return name;
}

AnsiString MakePage(int index, std::uint64_t seed)
{
    TRandom random(seed * 1000003u + static_cast<std::uint64_t>(index));
    const std::size_t target = random.Between(90'000, 110'000);

    std::vector<AnsiString> lines = {
        "<html>",
        "<head>",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
        "<title>" + Sentence(random, 2, 5) + "</title>",
        "</head>",
        "<body bgcolor=\"#FFFFFF\" text=\"#333333\">",
        "<table width=\"600\" border=\"0\" cellpadding=\"2\">",
    };
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 1;
    const AnsiString footer[] = {"</table>", "<hr>", "</body>", "</html>"};
    while (size < target - 400) {
        lines.push_back(BodyLine(random));
        size += lines.back().size() + 1;
    }

    // Planted between the head and the footer, two to four of each search text.
    const std::size_t bodyStart = 7;
    for (const auto& pair : BenchPairs()) {
        const std::size_t count = random.Between(2, 4);
        for (std::size_t i = 0; i < count; ++i) {
            AnsiString line =
                "<p>" + Sentence(random, 1, 6) + pair.Search + Sentence(random, 1, 6) + "</p>";
            lines.insert(lines.begin() +
                             static_cast<std::ptrdiff_t>(random.Between(bodyStart, lines.size())),
                         std::move(line));
        }
    }
    for (const auto& line : footer)
        lines.push_back(line);

    AnsiString page;
    page.reserve(size + 1024);
    for (const auto& line : lines) {
        page += line;
        page += '\n';
    }
    return page;
}
