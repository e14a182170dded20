#pragma once

#include <functional>

#include <QObject>
#include <QStringList>

#include "store/filedescriptor.h"

class QLocalServer;
class QLocalSocket;

// One window per user and data file, as desktop programs have it: a start
// that finds the window open hands it the vCard files to import and ends,
// instead of opening a second window over the first. The window's copy holds
// a lock beside a local socket in the user's private runtime folder; a
// socket whose copy has gone holds no lock and is replaced.
class SingleWindow : public QObject {
    Q_OBJECT
public:
    explicit SingleWindow(const QString& dataFile, QObject* parent = nullptr);
    ~SingleWindow() override;

    // True when the window for the data file is open elsewhere and took the
    // files (absolute paths): this start has nothing left to do. False when
    // this start is to show the window, or when the open window did not
    // answer in time: then this start goes on as if alone.
    bool handOver(const QStringList& files);
    // Once the window is up: from now on later starts are answered, and
    // what they hand over goes to receive, never while a dialog is open (a
    // drop could not come then either).
    void listen(std::function<void(const QStringList&)> receive);

    // How long a start waits for the open window's answer.
    static constexpr int kAnswerMs = 5000;

private:
    void accept();
    void read(QLocalSocket* socket);
    void deliver();

    QString mSocketPath;
    FileDescriptor mLock;
    bool mLeader = false;
    QLocalServer* mServer = nullptr;
    QList<QStringList> mPending;
    std::function<void(const QStringList&)> mReceive;
};
