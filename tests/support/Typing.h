#pragma once

// Typing into the window's boxes as a user does: ASCII key by key, Japanese as an input method
// commits it (QTest has no key codes for it). Shared by the tests and the batch benchmark.

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QString>
#include <QTest>

inline void TypeInto(QLineEdit* edit, const QString& text)
{
    bool ascii = true;
    for (QChar ch : text)
        ascii = ascii && ch.unicode() < 0x80;
    if (ascii) {
        QTest::keyClicks(edit, text);
        return;
    }
    edit->setFocus();
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(edit, &commit);
}
