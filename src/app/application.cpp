#include "app/application.h"

#include <QApplication>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>

#include "output/spreadsheetfolder.h"
#include "ui/main/form1.h"

Application::Application() : mMessages(mSink), mSession(mMessages, mEnd, QCoreApplication::applicationDirPath()) {}

int Application::run(const QStringList& importFiles)
{
    SpreadsheetFolder::removeLeftovers();
    auto* form = new Form1(mSession);
    if (!form->Form_Load())
        return 0;
    // Designed to open in the centre of the screen.
    if (const QScreen* screen = form->screen()) {
        const QRect available = screen->availableGeometry();
        form->move(available.center() - form->rect().center());
    }
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, form,
                     [form](QSessionManager&) { form->sessionEnding(); });
    form->show();
    // Once the window is up, so the summary has a window to stand over.
    if (!importFiles.isEmpty())
        QTimer::singleShot(0, form, [form, importFiles] { form->importFiles(importFiles); });
    return QApplication::exec();
}
