#include "support/davserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTimer>

#include "support/tempenv.h"

namespace {

constexpr int startLimitMs = 15000;
// Enough for the rare case of another process taking the port between our
// look at it and the server binding it.
constexpr int attempts = 3;
// Both servers start in well under a second, failing on a taken port included.
constexpr int ownAnswerAfterMs = 4000;

bool writeText(const QString& path, const QByteArray& text)
{
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

quint16 freePort()
{
    // The port is free only until someone else binds it; start() retries for that.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

DavServer::DavServer(Kind kind, const QString& folder, bool selfSignedTls)
    : mKind(kind), mFolder(QDir(folder).absolutePath()), mTls(selfSignedTls)
{
    // Both servers are Python programs: keep the tests' own search path of
    // stand-ins, the user's site packages and any Python of the developer's
    // (pyenv and the like) out of them, and give them a home of their own so
    // no personal configuration reaches them.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("HOME"), mFolder);
    env.insert(QStringLiteral("PYTHONNOUSERSITE"), QStringLiteral("1"));
    env.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"), QStringLiteral("1"));
    env.remove(QStringLiteral("PYTHONPATH"));
    env.remove(QStringLiteral("PYTHONHOME"));
    mProcess.setProcessEnvironment(env);
    mProcess.setProcessChannelMode(QProcess::MergedChannels);
    QDir().mkpath(mFolder);
    mProcess.setWorkingDirectory(mFolder);

    if (kind == Kind::Radicale) {
        // Radicale makes only the user's own collection on first login; a
        // collection folder marked as an address book is what a client's
        // MKCOL would have left, so the book is there before any request.
        const QString collections = mFolder + QStringLiteral("/collections");
        const QString props =
            collections + QStringLiteral("/collection-root/") + user() + QStringLiteral("/contacts/.Radicale.props");
        if (!writeText(props, R"({"tag": "VADDRESSBOOK"})") ||
            !writeText(mFolder + QStringLiteral("/users"), (user() + QLatin1Char(':') + password() + '\n').toUtf8())) {
            mError = QStringLiteral("cannot write Radicale's files into ") + mFolder;
            return;
        }
    }

    if (mTls) {
        QProcess openssl;
        openssl.setWorkingDirectory(mFolder);
        openssl.start(systemTool(QStringLiteral("openssl")),
                      QStringLiteral("req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "
                                     "/CN=127.0.0.1")
                          .split(u' '));
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
            mError = QStringLiteral("openssl could not make a certificate: ") + openssl.readAllStandardError();
            return;
        }
    }
    for (int attempt = 1; attempt <= attempts && !mStarted; ++attempt) {
        mError.clear();
        const quint16 port = freePort();
        if (port == 0) {
            mError = QStringLiteral("no free port on 127.0.0.1");
            return;
        }
        mStarted = startOn(port);
        // Only a server that went away may have lost the race for its port;
        // one that ran the whole time without answering would not do better.
        if (!mStarted && mProcess.state() == QProcess::Running)
            break;
        if (!mStarted)
            stop();
    }
    if (!mStarted) {
        mError += QStringLiteral("\n--- end of ") + logFile() + QStringLiteral(" ---\n") + logTail();
        stop();
    }
}

DavServer::~DavServer()
{
    stop();
}

bool DavServer::startOn(quint16 port)
{
    mPort = port;
    QString program;
    QStringList arguments;
    if (mKind == Kind::Radicale) {
        // A configuration file of our own replaces /etc/radicale/config and
        // ~/.config/radicale/config, so the machine's setup does not leak in.
        const QString config = mFolder + QStringLiteral("/radicale.conf");
        const QString tls =
            mTls ? QStringLiteral("ssl = True\ncertificate = %1/cert.pem\nkey = %1/key.pem\n").arg(mFolder) : QString();
        const QString text = QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n%3"
                                            "[auth]\ntype = htpasswd\nhtpasswd_filename = %2/users\n"
                                            "htpasswd_encryption = plain\n"
                                            "[storage]\nfilesystem_folder = %2/collections\n"
                                            "[logging]\nlevel = warning\n")
                                 .arg(port)
                                 .arg(mFolder, tls);
        if (!writeText(config, text.toUtf8())) {
            mError = QStringLiteral("cannot write ") + config;
            return false;
        }
        program = systemTool(QStringLiteral("python3"));
        arguments = {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"), config};
    } else {
        // --defaults makes a calendar and an address book below the current
        // user principal the first time the folder is served.
        program = systemTool(QStringLiteral("xandikos"));
        arguments = QStringLiteral("-l 127.0.0.1 --defaults --current-user-principal /%1/").arg(user()).split(' ');
        arguments << QStringLiteral("-p") << QString::number(port) << QStringLiteral("-d")
                  << mFolder + QStringLiteral("/xandikos");
    }
    if (program.isEmpty()) {
        mError = QStringLiteral("%1 is not installed").arg(QLatin1String(name(mKind)));
        return false;
    }

    mProcess.setStandardOutputFile(logFile(), QIODevice::Append);
    mProcess.start(program, arguments);
    if (!mProcess.waitForStarted(5000)) {
        mError = QStringLiteral("cannot run %1: %2").arg(program, mProcess.errorString());
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < startLimitMs) {
        const int status = answerStatus();
        if (status == 207)
            return true;
        if (status != 0)
            mError = QStringLiteral("HTTP %1 for %2").arg(status).arg(addressBook().toString());
        if (mProcess.state() != QProcess::Running) {
            mError = QStringLiteral("%1 on port %2 exited with code %3 before answering")
                         .arg(QLatin1String(name(mKind)))
                         .arg(port)
                         .arg(mProcess.exitCode());
            return false;
        }
        // A wrong answer may come from whoever took the port before us, until
        // our server has had the time to fail on it and exit. Past that the
        // answer is our server's and final: waiting on would only hide why.
        if (status != 0 && clock.elapsed() > ownAnswerAfterMs) {
            mError.prepend(QLatin1String(name(mKind)) + QStringLiteral(" answered "));
            return false;
        }
        pause(100);
    }
    mError = QStringLiteral("%1 on port %2 did not answer within %3 s; last: %4")
                 .arg(QLatin1String(name(mKind)))
                 .arg(port)
                 .arg(startLimitMs / 1000)
                 .arg(mError);
    return false;
}

int DavServer::answerStatus()
{
    // Asking for the address book itself, as the user, proves more than an
    // open port: the server is up, it knows the user, and the book exists.
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(addressBook());
    request.setRawHeader("Depth", "0");
    request.setRawHeader("Authorization", "Basic " + (user() + QLatin1Char(':') + password()).toUtf8().toBase64());
    request.setTransferTimeout(3000);
    QNetworkReply* reply = manager.sendCustomRequest(request, "PROPFIND");
    // Our own certificate, which only the tests of its trust are to refuse.
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply] { reply->ignoreSslErrors(); });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    mError = reply->errorString();
    delete reply;
    return status;
}

void DavServer::stop()
{
    if (mProcess.state() == QProcess::NotRunning)
        return;
    mProcess.terminate();
    if (!mProcess.waitForFinished(5000)) {
        mProcess.kill();
        mProcess.waitForFinished(-1);
    }
}

QString DavServer::logTail() const
{
    QFile log(logFile());
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("(no log)");
    log.seek(qMax<qint64>(0, log.size() - 3000));
    return QString::fromUtf8(log.readAll());
}

QUrl DavServer::root() const
{
    return QUrl(
        QStringLiteral("%1://127.0.0.1:%2/").arg(mTls ? QStringLiteral("https") : QStringLiteral("http")).arg(mPort));
}

QByteArray DavServer::certificateDigest() const
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(mFolder + QStringLiteral("/cert.pem"));
    return certificates.isEmpty() ? QByteArray() : certificates.front().digest(QCryptographicHash::Sha256);
}

QUrl DavServer::addressBook() const
{
    // Radicale serves a user's collections right below the root; Xandikos
    // puts the default book, named "addressbook", in the principal's
    // "contacts" home.
    const QString path =
        mKind == Kind::Radicale ? QStringLiteral("%1/contacts/") : QStringLiteral("%1/contacts/addressbook/");
    return root().resolved(QUrl(path.arg(user())));
}

const char* DavServer::name(Kind kind)
{
    return kind == Kind::Radicale ? "Radicale" : "Xandikos";
}
