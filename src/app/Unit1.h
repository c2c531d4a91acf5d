#pragma once

#include "AnsiString.h"
#include "DocumentBuffer.h"

#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
namespace Ui {
class TForm1;
}

// The main window. It holds every piece of the program's state: the controls, the list of
// source files made when it is built, the replacement pairs and the working text.
//
// How a press of the button flows: Button1Click collects the complete rows into PairTexts,
// then for each listed file, last first, Memo1 loads it (line breaks normalised), ApplyPairs
// runs the pairs over the text, last row first, and hands the result back to Memo1 with one
// CR LF, and Memo1 saves it into NewFile. Any error ends the handler and reaches the
// application's error box.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    static constexpr int MaxFiles = 500;
    static constexpr std::size_t NameSlotSize = 256; // NAME_MAX + 1: every name fits whole

    // `capacity` is the document buffer's; tests make it small.
    explicit TForm1(QWidget* owner = nullptr,
                    std::size_t capacity = TDocumentBuffer::DefaultCapacity);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    TDocumentBuffer Memo1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QLineEdit* Edit6;
    QLineEdit* Edit7;
    QLineEdit* Edit8;
    QLineEdit* Edit9;
    QLineEdit* Edit10;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QPushButton* Button1;
    QLabel* Label6;

public slots:
    // The batch run: one press converts every listed file into NewFile.
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::int32_t FileCount = 0;
    std::int32_t PairCount = 0;
    char FileNames[MaxFiles][NameSlotSize] = {};
    std::array<AnsiString, 10> PairTexts;
    AnsiString WorkText;

    std::unique_ptr<Ui::TForm1> FUi;
    bool FFrameFitted = false;

    // Lists the "*.htm" entries of the working folder into FileNames, at most 500.
    void ScanSourceFiles();
    // Takes the complete rows into PairTexts. Raises EConvertError naming the row and the box
    // when a text holds a character the code page cannot hold.
    void CollectPairs();
    // Runs the pairs over the document in Memo1, last first. Raises EInvalidOperation when the
    // text grows past the buffer's capacity; Memo1 keeps the loaded document then.
    void ApplyPairs();
    void SetStatus(const QString& text);

    friend struct TForm1Access;
};

extern TForm1* Form1;
