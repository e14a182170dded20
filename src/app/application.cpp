#include "app/application.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>

#include "app/singlewindow.h"
#include "output/spreadsheetfolder.h"
#include "store/paths.h"
#include "ui/main/form1.h"

Application::Application() : mMessages(mSink), mSession(mMessages, mEnd, QCoreApplication::applicationDirPath()) {}

namespace {

// Over whatever the user was doing: the files they opened went here.
void bringForward(QWidget* window)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

int Application::run(const QStringList& importFiles)
{
    // The files are named for the open window, which runs in another folder.
    QStringList absolute;
    for (const QString& file : importFiles)
        absolute << QFileInfo(file).absoluteFilePath();
    SingleWindow single(dataPaths(mSession.applicationFolder).dataFile);
    if (single.handOver(absolute))
        return 0;
    SpreadsheetFolder::removeLeftovers();
    auto* form = new Form1(mSession);
    if (!form->Form_Load())
        return 0;
    // Designed to open in the centre of the screen, until it has a place of
    // its own.
    if (const QScreen* screen = form->screen(); screen && !form->hasRememberedPlace()) {
        const QRect available = screen->availableGeometry();
        form->move(available.center() - form->rect().center());
    }
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, form,
                     [form](QSessionManager&) { form->sessionEnding(); });
    form->show();
    form->startSync();
    single.listen([form](const QStringList& files) {
        bringForward(form);
        if (!files.isEmpty())
            form->importFiles(files);
    });
    // Once the window is up, so the summary has a window to stand over.
    if (!importFiles.isEmpty())
        QTimer::singleShot(0, form, [form, importFiles] { form->importFiles(importFiles); });
    return QApplication::exec();
}
