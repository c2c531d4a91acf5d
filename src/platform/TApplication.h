#pragma once

#include "Exceptions.h"

#include <QApplication>
#include <QString>
#include <exception>
#include <memory>

class QWidget;

// The application object: initialises the window system, owns the main window, runs the message
// loop, and is the one place where errors reach the user. An exception that leaves an event
// handler ends that handler only: notify() shows it in the standard error box and the loop goes
// on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // The program file's name without its folder and without everything from the first "." on;
    // the first character as it is, the rest in lower case.
    static QString TitleFromProgramPath(const QString& path);
    QString Title() const { return FTitle; }

    // Creates the main window; `form` refers to it, or to nothing when construction fails.
    template <class TForm> void CreateForm(TForm*& form)
    {
        form = nullptr;
        auto created = std::make_unique<TForm>();
        form = created.get();
        FMainForm = std::move(created);
    }

    // Shows the main window and dispatches messages until it is closed.
    int Run();

    // The standard error box: the message followed by one ".", the application title, the error
    // icon, a single OK button, modal over every window of the program.
    void ShowException(const std::exception& error);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    QString FTitle;
    std::unique_ptr<QWidget> FMainForm;
};

// The entry's frame: builds the main window and runs the loop. An Exception raised while the
// window is built is shown in the error box and the program ends without showing the window.
// The exit code is 0 in every case.
template <class TForm> int RunMainForm(TApplication& application, TForm*& form)
{
    try {
        application.CreateForm(form);
        application.Run();
    } catch (const Exception& error) {
        application.ShowException(error);
    }
    return 0;
}
