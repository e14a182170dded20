#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

class QNetworkAccessManager;

// One card of an address book as the server lists it. href is the path the
// server gives, which is what it takes back.
struct DavCard {
    QString href;
    QByteArray etag;
    // Empty when only the ETag was asked for.
    QByteArray card;
};

struct DavAddressBook {
    QUrl url;
    QString name;
};

// What changed in an address book since a sync token: the cards added or
// changed (href and ETag), the hrefs removed, and the token to ask with next.
struct DavChanges {
    std::vector<DavCard> changed;
    QStringList removed;
    QString token;
    // The server no longer knows the token (or never gave one): the caller
    // compares everything instead.
    bool tokenRefused = false;
};

// A CardDAV client over HTTP(S) for one account, blocking: each call runs
// the network on the calling thread until its answer, the timeout or an
// error. Throws AppError with a message for a person on anything but the
// answers a call expects, never with the password in it.
class DavClient {
public:
    DavClient(const QString& user, const QString& password, std::chrono::milliseconds timeout);
    ~DavClient();
    DavClient(const DavClient&) = delete;
    DavClient& operator=(const DavClient&) = delete;

    // The address books an account has, found from a server root, a
    // principal or an address book's own URL.
    std::vector<DavAddressBook> discover(const QUrl& start);

    // The token that names the address book's state now; empty when the
    // server keeps none.
    QString syncToken(const QUrl& book);
    // The vCard version cards go up in: 4.0 when the server announces it,
    // else 3.0, which every CardDAV server takes.
    QString cardVersion(const QUrl& book);
    // Every card's href and ETag.
    std::vector<DavCard> listEtags(const QUrl& book);
    // Every card with its text, in one request.
    std::vector<DavCard> fetchAll(const QUrl& book);
    // These cards with their texts; a card gone meanwhile is left out.
    std::vector<DavCard> fetch(const QUrl& book, const QStringList& hrefs);
    DavChanges changesSince(const QUrl& book, const QString& token);

    // Refused: the server will not take the card as it is (a 4xx other
    // than these), which asking again would not change.
    enum class Outcome { Done, ChangedThere, Gone, Refused };
    // Writes a card: a new one (etag empty) only where none is, an existing
    // one only while it has that ETag. newEtag receives the server's ETag
    // when it says one.
    Outcome put(const QUrl& url, const QByteArray& card, const QByteArray& etag, QByteArray& newEtag);
    // Deletes a card only while it has that ETag; Gone when it was not there.
    Outcome remove(const QUrl& url, const QByteArray& etag);

    // A request stops, and throws, soon after this turns true: a window that
    // closes need not wait for a slow server.
    void setStop(const std::atomic<bool>* stop) { mStop = stop; }

    // A certificate the system does not trust is taken when its SHA-256
    // fingerprint is this one (hex digits, colons or not): the one the user
    // saw and accepted.
    void setTrustedFingerprint(const QString& fingerprint);
    // The fingerprint of the last certificate refused, as fingerprintText
    // shows it; empty when none was.
    QString refusedFingerprint() const { return mRefused; }

    // How many requests went out, for the benchmark and the summary's tests.
    int requests() const { return mRequests; }

    struct Reply {
        int status = 0;
        QByteArray body;
        QByteArray etag;
    };
    Reply send(const QByteArray& method, const QUrl& url, const QByteArray& body, int depth,
               const QList<std::pair<QByteArray, QByteArray>>& headers = {});

private:
    std::vector<DavCard> report(const QUrl& book, const QByteArray& body, bool withCards);

    std::unique_ptr<QNetworkAccessManager> mNetwork;
    QString mUser;
    QString mPassword;
    std::chrono::milliseconds mTimeout;
    int mRequests = 0;
    const std::atomic<bool>* mStop = nullptr;
    QByteArray mTrusted;
    QString mRefused;
};

// A fingerprint as the program shows it: "AB:CD:...".
QString fingerprintText(const QByteArray& sha256);

// A URL the account may use: https, or http to this machine's own loopback
// addresses, or any http when insecure is allowed. Empty when usable, else why not.
QString refusedServerUrl(const QUrl& url, bool insecureAllowed);
