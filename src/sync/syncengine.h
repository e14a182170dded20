#pragma once

#include <optional>
#include <stdexcept>

#include <QDate>
#include <QString>
#include <QStringList>
#include <QUrl>

class Connection;
class DavClient;

// The CardDAV account a data file syncs with, kept in the file itself beside
// what it knows of the address book, so that the pairing of contacts and
// cards travels with the contacts. The password is never kept here.
struct SyncAccount {
    QUrl server;
    QString user;
    QUrl book;
    // The SHA-256 fingerprint of a certificate the user accepted; empty when
    // the system's trust is enough.
    QString fingerprint;

    // How the password is named where it is kept.
    QString secretName() const { return user + u'@' + book.host(); }
};

std::optional<SyncAccount> loadSyncAccount(Connection& connection);
// A new address book forgets what was known of the old one.
void saveSyncAccount(Connection& connection, const SyncAccount& account);

struct SyncOptions {
    // A sync that would delete more than half of either side (and more than
    // ten contacts) stops unless this is set.
    bool allowMassDelete = false;
    // The date a clash's local value is kept under in the remarks.
    QDate today = QDate::currentDate();
};

struct SyncSummary {
    int received = 0;
    int sent = 0;
    int deletedHere = 0;
    int deletedThere = 0;
    int clashes = 0;
    // Cards the server holds that could not be read; left as they are there.
    QStringList unreadable;
    // Contacts deleted on one side and changed on the other, kept on both.
    QStringList keptDespiteDeletion;
    // Contacts the server would not take; they stay here as they are.
    QStringList refused;
    // The contacts whose clashes went into the remarks.
    QStringList clashed;

    // "N received, M sent, K deleted here, L deleted there, C clashes kept in
    // the remarks", and what else a person must know.
    QString line() const;
};

// Thrown when a sync would delete too many contacts; nothing was changed on
// either side.
class MassDeletion : public std::runtime_error {
public:
    explicit MassDeletion(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// One two-way sync of the data file with the account's address book. A
// change is whatever differs from the state of the last sync, however it was
// made. Throws AppError on a failure; what was done before it stays done and
// recorded, and the next sync completes the rest.
SyncSummary syncContacts(Connection& connection, DavClient& client, const SyncOptions& options);
