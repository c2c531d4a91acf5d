#pragma once

// Watches for the application's modal error box, reads it and closes it with its OK button, so
// that a test can go through code that shows the box without blocking.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

struct TSeenBox {
    std::string Text;
    std::string Title;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    int Buttons = 0;
    bool Modal = false;
};

class TBoxWatcher {
public:
    TBoxWatcher()
    {
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start();
    }

    const std::vector<TSeenBox>& Seen() const { return FSeen; }

private:
    void Poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        TSeenBox seen;
        seen.Text = box->text().toStdString();
        seen.Title = box->windowTitle().toStdString();
        seen.Icon = box->icon();
        seen.Buttons = static_cast<int>(box->buttons().size());
        seen.Modal = box->windowModality() == Qt::ApplicationModal;
        FSeen.push_back(seen);
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    QTimer FTimer;
    std::vector<TSeenBox> FSeen;
};
