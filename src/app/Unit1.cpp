#include "Unit1.h"

#include "CodePage.h"
#include "DirectorySearch.h"
#include "Exceptions.h"
#include "FileAccess.h"
#include "ReplaceEngine.h"
#include "ui_Unit1.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>
#include <vector>

TForm1* Form1 = nullptr;

namespace {

// The wait cursor for the length of a run. It goes back to the default when the run ends, by
// an error too: a wait cursor left behind would make the window look hung for good.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { Restore(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
    void Restore()
    {
        if (FActive)
            QApplication::restoreOverrideCursor();
        FActive = false;
    }

private:
    bool FActive = true;
};

// The layout names the Japanese system faces; the IPA faces have the same metrics.
void RegisterFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
}

} // namespace

TForm1::TForm1(QWidget* owner, std::size_t capacity)
    : QWidget(owner), Memo1(SystemCodePage().LeadByteSet(), capacity), FUi(new Ui::TForm1)
{
    Q_INIT_RESOURCE(wordmill);
    RegisterFontSubstitutes();
    FUi->setupUi(this);
    // The form loader sizes a top-level window but leaves its place to the window system.
    move(200, 107);
    setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
    // Style sheets carry the faces, pixel heights and colours; apply them now, so that the
    // labels can take the size of their texts before the window is first shown.
    ensurePolished();
    Label1 = FUi->Label1;
    Edit1 = FUi->Edit1;
    Edit2 = FUi->Edit2;
    Edit3 = FUi->Edit3;
    Edit4 = FUi->Edit4;
    Edit5 = FUi->Edit5;
    Edit6 = FUi->Edit6;
    Edit7 = FUi->Edit7;
    Edit8 = FUi->Edit8;
    Edit9 = FUi->Edit9;
    Edit10 = FUi->Edit10;
    Label2 = FUi->Label2;
    Label3 = FUi->Label3;
    Label4 = FUi->Label4;
    Label5 = FUi->Label5;
    Button1 = FUi->Button1;
    Label6 = FUi->Label6;
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5, Label6}) {
        label->ensurePolished();
        label->adjustSize();
    }

    for (auto& text : PairTexts)
        text.clear();
    WorkText.clear();
    PairCount = 0;
    FileCount = 0;
    ScanSourceFiles();
    if (FileCount == 0)
        Button1->setEnabled(false);
    SetStatus(QStringLiteral("HTML File Count : ") + QString::number(FileCount));
    setWindowTitle(QStringLiteral(" Wordmill"));
}

TForm1::~TForm1() = default;

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The layout gives the outer size, frame included; the frame is known only once shown.
    if (!FFrameFitted) {
        FFrameFitted = true;
        const QSize frame = frameGeometry().size() - geometry().size();
        if (!frame.isEmpty())
            resize(size() - frame);
    }
}

void TForm1::SetStatus(const QString& text)
{
    if (Label6->text() == text)
        return;
    Label6->setText(text);
    Label6->adjustSize();
}

void TForm1::ScanSourceFiles()
{
    TDirectorySearch search("*.htm", faDirectory);
    TSearchRec entry;
    while (search.Next(entry)) {
        // Exactly 16: a plain directory. One that carries any other bit is taken like a file.
        if (entry.Attr == faDirectory)
            continue;
        // Names are at most NAME_MAX bytes, so one always fits with its ending zero; the guard
        // keeps the table safe from any search that reports longer ones.
        if (entry.Name.size() >= NameSlotSize)
            continue;
        std::memcpy(FileNames[FileCount], entry.Name.data(), entry.Name.size());
        ++FileCount;
        if (FileCount == MaxFiles)
            break;
    }
}

void TForm1::CollectPairs()
{
    QLineEdit* const boxes[10] = {Edit1, Edit2, Edit3, Edit4, Edit5,
                                  Edit6, Edit7, Edit8, Edit9, Edit10};
    const TCodePage& codePage = SystemCodePage();
    auto convert = [&](int row, int box) {
        QLineEdit* edit = boxes[2 * (row - 1) + box];
        const QByteArray utf8 = edit->text().toUtf8();
        auto bytes = codePage.FromUtf8(std::string_view(utf8.constData(), utf8.size()));
        if (!bytes) {
            const char* which = box == 0 ? "search" : "replacement";
            throw EConvertError("Row " + std::to_string(row) + ", " + which + " text (" +
                                edit->objectName().toStdString() +
                                "): it holds a character that code page " +
                                std::to_string(codePage.Number()) + " cannot hold");
        }
        return std::move(*bytes);
    };
    for (int row = 1; row <= 5; ++row) {
        if (boxes[2 * (row - 1)]->text().isEmpty())
            continue;
        if (boxes[2 * (row - 1) + 1]->text().isEmpty())
            continue;
        AnsiString search = convert(row, 0);
        AnsiString replacement = convert(row, 1);
        PairTexts[2 * PairCount] = std::move(search);
        PairTexts[2 * PairCount + 1] = std::move(replacement);
        ++PairCount;
    }
}

void TForm1::ApplyPairs()
{
    // The working text keeps its storage from page to page, with room for the pairs to grow the
    // text in place; once the first pages have sized it, the copy allocates nothing.
    const AnsiString& document = Memo1.Text();
    ReserveRoom(WorkText, document.size(), document.size() / 8);
    WorkText.assign(document);
    for (int j = PairCount; j >= 1; --j)
        WorkText = ReplaceAll(std::move(WorkText), PairTexts[2 * (j - 1)],
                              PairTexts[2 * (j - 1) + 1], Memo1.Capacity());
    Memo1.ClearDocument();
    Memo1.AddLine(WorkText);
}

void TForm1::Button1Click()
{
    Button1->setEnabled(false);
    CollectPairs();
    if (PairCount == 0)
        return;
    std::int32_t countdown = FileCount;
    TWaitCursor waitCursor;
    SetStatus(QStringLiteral("Plaese wait a moment ....."));
    Label6->repaint();

    TSearchRec found;
    if (!TDirectorySearch("./NewFile/*", faDirectory).Next(found))
        CreateFolder("./NewFile");

    // No output may land on a source: a NewFile that links back to the working folder, or a
    // hard link in it, would otherwise truncate the very file being converted.
    TFileIdentities sources;
    sources.reserve(static_cast<std::size_t>(FileCount));
    for (std::int32_t i = 0; i < FileCount; ++i) {
        TFileIdentity id;
        if (IdentityOf(FileNames[i], id))
            sources.push_back(id);
    }

    while (countdown > 0) {
        AnsiString name(FileNames[countdown - 1]);
        Memo1.LoadDocument(name);
        ApplyPairs();
        name = "./NewFile/" + name;
        Memo1.SaveDocument(name, sources);
        Memo1.ClearDocument();
        --countdown;
    }

    waitCursor.Restore();
    SetStatus(QStringLiteral("New File OK. See you again."));
}
