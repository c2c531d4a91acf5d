#include "BoxWatcher.h"
#include "CodePage.h"
#include "FormAccess.h"
#include "TestFiles.h"

#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class Pairs : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSystemCodePage(TCodePage::FromCodeset("SHIFT_JIS"));
        WriteBytes(Dir / "page.htm", "page");
        Here = std::make_unique<TChdir>(Dir.Path());
        Form = std::make_unique<TForm1>();
    }
    void TearDown() override
    {
        Form.reset();
        Here.reset();
        SetSystemCodePage(TCodePage::FromCodeset("UTF-8"));
    }

    QLineEdit* Box(int row, int side) const
    {
        QLineEdit* boxes[] = {Form->Edit1, Form->Edit2, Form->Edit3, Form->Edit4, Form->Edit5,
                              Form->Edit6, Form->Edit7, Form->Edit8, Form->Edit9, Form->Edit10};
        return boxes[2 * (row - 1) + side];
    }

    // Japanese text arrives in a box the way an input method commits it.
    void Type(int row, int side, const QString& text)
    {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(Box(row, side), &commit);
    }

    // The document as the run would convert it: loaded from bytes, pairs applied.
    std::string Convert(const std::string& bytes)
    {
        WriteBytes(Dir / "doc.txt", bytes);
        Form->Memo1.LoadDocument("doc.txt");
        TForm1Access::ApplyPairs(*Form);
        return Form->Memo1.DocumentText();
    }

    TTempDir Dir;
    std::unique_ptr<TChdir> Here;
    std::unique_ptr<TForm1> Form;
};

} // namespace

TEST_F(Pairs, CompleteRowsAreStoredWithoutGapsAndAppliedBottomUp)
{
    Type(1, 0, "only search");
    Type(2, 0, "y");
    Type(2, 1, "z");
    Type(3, 1, "only replacement");
    Type(4, 0, "x");
    Type(4, 1, "y");
    TForm1Access::CollectPairs(*Form);
    EXPECT_EQ(TForm1Access::PairCount(*Form), 2);
    const auto& texts = TForm1Access::PairTexts(*Form);
    EXPECT_EQ(std::vector<AnsiString>(texts.begin(), texts.end()),
              (std::vector<AnsiString>{"y", "z", "x", "y", "", "", "", "", "", ""}));
    // Row 4 goes first: 'x' becomes 'y', which row 2 then makes 'z'.
    EXPECT_EQ(Convert("x"), "z\r\n");
    EXPECT_EQ(TForm1Access::WorkText(*Form), "z");
    EXPECT_EQ(Convert("xy"), "zz\r\n");
}

TEST_F(Pairs, TextsAreTakenExactlyAsTheBoxesHoldThem)
{
    struct Case {
        const char* What;
        QString Search, Replacement;
        std::string Document, Converted;
    };
    const Case cases[] = {
        {"a single space is a text", " ", "_", "a b  d", "a_b__d\r\n"},
        {"a leading space belongs to the text", " a", "X", "ab a", "abX\r\n"},
        {"case counts", "abc", "x", "abcABC", "xABC\r\n"},
        {"Japanese becomes its Shift-JIS bytes", QString::fromUtf8("日本"), "JP",
         "\x93\xFA\x96\x7B\x8C\xEA", "JP\x8C\xEA\r\n"},
        {"a byte pair across characters", "A", "B", "\x83\x41", "\x83\x42\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Form = std::make_unique<TForm1>();
        Type(1, 0, c.Search);
        Type(1, 1, c.Replacement);
        TForm1Access::CollectPairs(*Form);
        ASSERT_EQ(TForm1Access::PairCount(*Form), 1);
        EXPECT_EQ(Convert(c.Document), c.Converted);
    }
}

TEST_F(Pairs, ACharacterTheCodePageCannotHoldStopsTheRunBeforeAnyFile)
{
    struct Case {
        int Row, Side;
        const char* Message;
    };
    const Case cases[] = {
        {2, 0,
         "Row 2, search text (Edit3): it holds a character that code page 932 cannot "
         "hold."},
        {5, 1,
         "Row 5, replacement text (Edit10): it holds a character that code page 932 "
         "cannot hold."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        Form = std::make_unique<TForm1>();
        Form->show();
        Type(1, 0, "page");
        Type(1, 1, "book");
        Type(c.Row, 0, c.Side == 0 ? QString::fromUtf8("x😀") : QString("x"));
        Type(c.Row, 1, c.Side == 1 ? QString::fromUtf8("한") : QString("y"));
        TBoxWatcher watcher;
        QTest::mouseClick(Form->Button1, Qt::LeftButton);
        ASSERT_EQ(watcher.Seen().size(), 1u);
        EXPECT_EQ(watcher.Seen()[0].Text, c.Message);
        EXPECT_FALSE(std::filesystem::exists(Dir / "NewFile"));
        EXPECT_EQ(Form->Label6->text().toStdString(), "HTML File Count : 1");
        EXPECT_FALSE(Form->Button1->isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(Form->Memo1.DocumentText(), "Memo1");
    }
}
