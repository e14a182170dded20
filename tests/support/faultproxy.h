#pragma once

#include <optional>
#include <utility>

#include <QHash>
#include <QList>
#include <QMutex>
#include <QThread>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

// An HTTP/1.1 proxy on 127.0.0.1 in front of one server, passing requests
// through as they are until told to misbehave on one. It has a thread of its
// own: the client under test holds the test's thread in its own event loop.
class FaultProxy {
public:
    enum class Fault {
        Answer, // answers the status given; the server never sees the request
        // The server takes the request, and its reply breaks off halfway (in
        // the body of a long one, the head of a short one); so too for as
        // many repeats of it as given, for Qt sends a request again when its
        // reply broke off in the head.
        Drop,
        Delay, // the server's reply comes the milliseconds given late
    };

    explicit FaultProxy(const QUrl& server);
    ~FaultProxy();

    bool listening() const { return mPort != 0; }
    QUrl through(QUrl url) const
    {
        url.setPort(mPort);
        return url;
    }
    // Meets the request skip + 1 from now with this method (and path part).
    void failNext(const QByteArray& method, Fault fault, int value = 0, int skip = 0, const QByteArray& pathPart = {});
    int requests(const QByteArray& method) const;
    // Faults set and not met yet.
    qsizetype waiting() const;

private:
    struct Rule {
        QByteArray method, pathPart;
        Fault fault;
        int value, skip;
    };
    std::optional<Rule> ruleFor(const QByteArray& request);
    void answer(QTcpSocket* client, const QByteArray& request);

    QUrl mServer;
    QThread mThread;
    QTcpServer* mListener;
    quint16 mPort = 0;
    mutable QMutex mMutex;
    QList<Rule> mRules;
    QHash<QByteArray, int> mCounts;
    // The request last cut off, and how many of its repeats to cut.
    std::pair<QByteArray, int> mCut;
};
