#include "TApplication.h"

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QWidget>
#include <new>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    FTitle = TitleFromProgramPath(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget());
    if (QFile::exists(QStringLiteral(":/MAINICON")))
        setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
}

// The window goes before the application object it belongs to.
TApplication::~TApplication()
{
    FMainForm.reset();
}

QString TApplication::TitleFromProgramPath(const QString& path)
{
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

int TApplication::Run()
{
    if (FMainForm)
        FMainForm->show();
    return exec();
}

void TApplication::ShowException(const std::exception& error)
{
    QString message;
    if (const auto* own = dynamic_cast<const Exception*>(&error))
        message = QString::fromStdString(own->Message());
    else if (dynamic_cast<const std::bad_alloc*>(&error))
        message = QStringLiteral("メモリが不足しています");
    else
        message = QString::fromUtf8(error.what());

    // A handler that died while the mouse was grabbed must not leave the grab behind.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (QWidget* grabber = QWidget::keyboardGrabber())
        grabber->releaseKeyboard();

    QMessageBox box(QMessageBox::Critical, FTitle, message + QLatin1Char('.'), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(Exception("Unknown error"));
    }
    return false;
}
