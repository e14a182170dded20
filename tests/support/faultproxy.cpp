#include "support/faultproxy.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

FaultProxy::FaultProxy(const QUrl& server) : mServer(server), mListener(new QTcpServer)
{
    mListener->moveToThread(&mThread);
    QObject::connect(&mThread, &QThread::finished, mListener, &QObject::deleteLater);
    QObject::connect(mListener, &QTcpServer::newConnection, mListener, [this] {
        while (QTcpSocket* client = mListener->nextPendingConnection()) {
            QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QTcpSocket::readyRead, client, [this, client] {
                static const QRegularExpression length(QStringLiteral("\r\ncontent-length: *(\\d+)"),
                                                       QRegularExpression::CaseInsensitiveOption);
                const QByteArray request = client->property("request").toByteArray() + client->readAll();
                client->setProperty("request", request);
                const qsizetype head = request.indexOf("\r\n\r\n");
                const QString headers = QString::fromLatin1(request.left(head));
                if (head >= 0 && request.size() >= head + 4 + length.match(headers).captured(1).toLongLong()) {
                    // One request a connection: each answer closes it.
                    QObject::disconnect(client, &QTcpSocket::readyRead, nullptr, nullptr);
                    answer(client, request);
                }
            });
        }
    });
    mThread.start();
    QMetaObject::invokeMethod(
        mListener, [this] { mPort = mListener->listen(QHostAddress::LocalHost, 0) ? mListener->serverPort() : 0; },
        Qt::BlockingQueuedConnection);
}

FaultProxy::~FaultProxy()
{
    mThread.quit();
    mThread.wait();
}

void FaultProxy::failNext(const QByteArray& method, Fault fault, int value, int skip, const QByteArray& pathPart)
{
    const QMutexLocker lock(&mMutex);
    mRules.append({method, pathPart, fault, value, skip});
}

int FaultProxy::requests(const QByteArray& method) const
{
    const QMutexLocker lock(&mMutex);
    return mCounts.value(method);
}

qsizetype FaultProxy::waiting() const
{
    const QMutexLocker lock(&mMutex);
    return mRules.size();
}

std::optional<FaultProxy::Rule> FaultProxy::ruleFor(const QByteArray& request)
{
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QMutexLocker lock(&mMutex);
    ++mCounts[words.value(0)];
    if (const auto [cut, repeats] = std::exchange(mCut, {}); request == cut && repeats > 0)
        return Rule{{}, {}, Fault::Drop, repeats - 1, 0};
    for (qsizetype i = 0; i < mRules.size(); ++i) {
        if (mRules[i].method == words.value(0) && words.value(1).contains(mRules[i].pathPart))
            return mRules[i].skip-- > 0 ? std::nullopt : std::optional(mRules.takeAt(i));
    }
    return std::nullopt;
}

void FaultProxy::answer(QTcpSocket* client, const QByteArray& request)
{
    const std::optional<Rule> rule = ruleFor(request);
    const auto send = [client](const QByteArray& reply) {
        client->write(reply);
        client->disconnectFromHost();
    };
    if (rule && rule->fault == Fault::Answer)
        return send("HTTP/1.1 " + QByteArray::number(rule->value) +
                    " Injected\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    // A connection of its own a request: the server's reply ends where it closes.
    static const QRegularExpression connection(QStringLiteral("\r\nConnection:[^\r]*"),
                                               QRegularExpression::CaseInsensitiveOption);
    const qsizetype head = request.indexOf("\r\n\r\n");
    QTcpSocket server;
    server.connectToHost(mServer.host(), static_cast<quint16>(mServer.port()));
    QByteArray reply;
    if (server.waitForConnected(5000)) {
        server.write(QString::fromLatin1(request.left(head)).remove(connection).toLatin1() + "\r\nConnection: close" +
                     request.mid(head));
        while (server.waitForReadyRead(30000))
            reply += server.readAll();
    }
    if (!rule) {
        send(reply);
    } else if (rule->fault == Fault::Delay) {
        QTimer::singleShot(rule->value, client, [send, reply] { send(reply); });
    } else {
        mCut = {request, rule->value};
        send(reply.left(reply.size() / 2));
    }
}
