#pragma once

#include <QProcess>
#include <QString>
#include <QUrl>

// A real CardDAV server on 127.0.0.1, on a free port, serving a fresh folder
// that holds one empty address book; stopped (and waited for) when destroyed.
// The servers come from Debian's packages, so the synchronisation is tested
// against what users really run rather than against our own idea of DAV.
class DavServer {
public:
    enum class Kind { Radicale, Xandikos };

    // folder: an empty temporary folder the test owns; the server's data,
    // configuration and log all live in it.
    // selfSignedTls (Radicale only): https with a certificate made for the
    // occasion, which no system trusts.
    DavServer(Kind kind, const QString& folder, bool selfSignedTls = false);
    ~DavServer();
    DavServer(const DavServer&) = delete;
    DavServer& operator=(const DavServer&) = delete;

    // False, with error() saying why, when it did not come up within ~15 s.
    bool started() const { return mStarted; }
    QString error() const { return mError; }

    QUrl root() const;
    // The address book's full URL, ending in '/'.
    QUrl addressBook() const;
    // Radicale checks these by Basic authentication; Xandikos has none of its
    // own and ignores them, so a client may send them to both all the same.
    QString user() const { return QStringLiteral("alice"); }
    QString password() const { return QStringLiteral("wonderland7"); }
    QString logFile() const { return mFolder + QStringLiteral("/server.log"); }

    // The SHA-256 digest of the self-signed certificate.
    QByteArray certificateDigest() const;

    static const char* name(Kind kind);

private:
    bool startOn(quint16 port);
    // The HTTP status of a PROPFIND on the address book; 0 when nothing answered.
    int answerStatus();
    void stop();
    QString logTail() const;

    Kind mKind;
    QString mFolder;
    quint16 mPort = 0;
    bool mTls = false;
    QProcess mProcess;
    bool mStarted = false;
    QString mError;
};
