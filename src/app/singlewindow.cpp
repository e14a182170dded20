#include "app/singlewindow.h"

#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include "base/errortrap.h"
#include "store/datafiles.h"
#include "store/privatefolder.h"

namespace {

// A start's message: this word, then each file, each ended by a zero byte,
// then one more zero byte. File names hold no zero bytes.
const QByteArray kGreeting = QByteArrayLiteral("rondexa-open");
const QByteArray kEnd = QByteArray("\0\0", 2);
const QByteArray kAnswer = QByteArrayLiteral("k");
const qsizetype kMostMessageBytes = 1 << 20;
const int kRetryMs = 50;
const int kDialogPollMs = 200;

// The user's runtime folder, as the base-directory rules give it; without
// one a folder of the user's own in /tmp, made as safely.
std::optional<PrivateFolder> runtimeFolder()
{
    std::optional<PrivateFolder> folder;
    SilentTrap trap;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(QLatin1Char('/')))
        trap.step([&] { folder = PrivateFolder::make(runtime, QStringLiteral("Marrowind/Rondexa")); });
    if (!folder)
        trap.step([&] {
            folder = PrivateFolder::make(QStringLiteral("/tmp"), QStringLiteral("rondexa-%1").arg(::geteuid()));
        });
    return folder;
}

bool sameUser(qintptr descriptor)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           peer.uid == ::geteuid();
}

int remainingMs(const QDeadlineTimer& deadline)
{
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

bool sendFiles(const QString& socketPath, const QStringList& files)
{
    QByteArray message = kGreeting + '\0';
    for (const QString& file : files)
        message += QFile::encodeName(file) + '\0';
    message += '\0';
    const QDeadlineTimer deadline(SingleWindow::kAnswerMs);
    QLocalSocket socket;
    // The window's copy may hold the lock and not listen yet.
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(remainingMs(deadline)))
            break;
        socket.abort();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(kRetryMs);
    }
    // Once sent, never sent again: the files would be imported twice.
    socket.write(message);
    if (!socket.waitForBytesWritten(remainingMs(deadline)))
        return false;
    while (socket.bytesAvailable() < kAnswer.size()) {
        if (!socket.waitForReadyRead(remainingMs(deadline)))
            return false;
    }
    return socket.read(kAnswer.size()) == kAnswer;
}

} // namespace

SingleWindow::SingleWindow(const QString& dataFile, QObject* parent) : QObject(parent)
{
    std::optional<PrivateFolder> folder = runtimeFolder();
    if (!folder)
        return;
    // Named after where the data file really is, however it is reached.
    const QByteArray name =
        QCryptographicHash::hash(QFile::encodeName(realLocation(dataFile)), QCryptographicHash::Sha256)
            .toHex()
            .left(32);
    mSocketPath = folder->path() + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".socket");
    mLock = folder->openFile(name + ".lock", O_RDWR | O_CREAT);
}

SingleWindow::~SingleWindow() = default;

bool SingleWindow::handOver(const QStringList& files)
{
    if (!mLock.isOpen())
        return false;
    if (::flock(mLock.get(), LOCK_EX | LOCK_NB) == 0) {
        mLeader = true;
        return false;
    }
    const bool held = errno == EWOULDBLOCK;
    mLock = FileDescriptor();
    return held && sendFiles(mSocketPath, files);
}

void SingleWindow::listen(std::function<void(const QStringList&)> receive)
{
    mReceive = std::move(receive);
    if (!mLeader)
        return;
    // The lock says no copy is running: a socket there is one that ended
    // without taking it away.
    QLocalServer::removeServer(mSocketPath);
    mServer = new QLocalServer(this);
    mServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(mServer, &QLocalServer::newConnection, this, &SingleWindow::accept);
    // Later starts would wait for an answer that cannot come.
    if (!mServer->listen(mSocketPath))
        mLock = FileDescriptor();
}

void SingleWindow::accept()
{
    while (QLocalSocket* socket = mServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // The folder is the user's alone already; this holds even if it
        // were not.
        if (!sameUser(socket->socketDescriptor())) {
            socket->abort();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        read(socket);
    }
}

void SingleWindow::read(QLocalSocket* socket)
{
    const QByteArray seen = socket->peek(kMostMessageBytes + 1);
    const QByteArray opening = kGreeting + '\0';
    const bool greeted = seen.size() < opening.size() ? opening.startsWith(seen) : seen.startsWith(opening);
    if (seen.size() > kMostMessageBytes || !greeted) {
        socket->abort();
        return;
    }
    const qsizetype end = seen.indexOf(kEnd);
    if (end < 0)
        return;
    socket->read(end + kEnd.size());
    QStringList files;
    for (const QByteArray& file : seen.left(end).split('\0').mid(1))
        files << QFile::decodeName(file);
    socket->write(kAnswer);
    socket->disconnectFromServer();
    mPending << files;
    QTimer::singleShot(0, this, &SingleWindow::deliver);
}

void SingleWindow::deliver()
{
    if (mPending.isEmpty() || !mReceive)
        return;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        QTimer::singleShot(kDialogPollMs, this, &SingleWindow::deliver);
        return;
    }
    mReceive(mPending.takeFirst());
}
