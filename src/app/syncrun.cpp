#include "app/syncrun.h"

#include <cstdio>
#include <iostream>
#include <string>

#include <QTextStream>

#include "app/startoptions.h"
#include "base/apperror.h"
#include "sync/davclient.h"
#include "sync/syncengine.h"
#include "sync/syncsecret.h"

namespace {

// Long enough for a slow server's first answer; a server that says nothing
// for this long is taken for gone.
constexpr std::chrono::seconds kTimeout(30);

int setAccount(const StartOptions& options, Connection& connection, QTextStream& out, QTextStream& err)
{
    const QUrl server = QUrl::fromUserInput(options.syncServer);
    if (const QString refused = refusedServerUrl(server, options.insecure); !refused.isEmpty()) {
        err << "rondexa: " << refused << Qt::endl;
        return 1;
    }
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const QString password = QString::fromStdString(line);
    DavClient client(options.syncUser, password, kTimeout);
    client.setTrustedFingerprint(options.trustedFingerprint);
    std::vector<DavAddressBook> books;
    try {
        books = client.discover(server);
    } catch (const AppError& e) {
        if (client.refusedFingerprint().isEmpty())
            throw;
        throw AppError(e.description() + QStringLiteral(" To trust it: --trust-fingerprint ") +
                       client.refusedFingerprint());
    }
    if (books.empty()) {
        err << "rondexa: " << server.toDisplayString() << " has no address book for " << options.syncUser << Qt::endl;
        return 1;
    }
    const SyncAccount account{
        server, options.syncUser, books.front().url,
        options.trustedFingerprint.isEmpty()
            ? QString()
            : fingerprintText(QByteArray::fromHex(options.trustedFingerprint.toLatin1().replace(':', "")))};
    const SyncSecret::Kept kept = SyncSecret::store(account.secretName(), password);
    saveSyncAccount(connection, account);
    out << "Syncing with " << books.front().name << " (" << books.front().url.toDisplayString() << ")" << Qt::endl;
    for (size_t i = 1; i < books.size(); ++i)
        out << "Also there: " << books[i].name << " (" << books[i].url.toDisplayString() << ")" << Qt::endl;
    out << SyncSecret::whereKept(kept) << Qt::endl;
    return 0;
}

int sync(const StartOptions& options, Connection& connection, QTextStream& out, QTextStream& err)
{
    const std::optional<SyncAccount> account = loadSyncAccount(connection);
    if (!account) {
        err << "rondexa: no sync account is set; set one with --sync-account URL --user NAME" << Qt::endl;
        return 1;
    }
    DavClient client(account->user, SyncSecret::load(account->secretName()), kTimeout);
    client.setTrustedFingerprint(account->fingerprint);
    SyncOptions syncOptions;
    syncOptions.allowMassDelete = options.allowMassDelete;
    try {
        out << syncContacts(connection, client, syncOptions).line() << Qt::endl;
        return 0;
    } catch (const MassDeletion& e) {
        err << "rondexa: " << QString::fromStdString(e.what()) << " Run with --allow-mass-delete to go ahead."
            << Qt::endl;
        return 1;
    }
}

} // namespace

int runSyncCommand(const StartOptions& options, Connection& connection, QTextStream& out, QTextStream& err)
{
    try {
        return options.mode == StartOptions::Mode::SyncAccount ? setAccount(options, connection, out, err)
                                                               : sync(options, connection, out, err);
    } catch (const AppError& e) {
        err << "rondexa: the sync did not complete: " << e.description() << Qt::endl;
        return 1;
    }
}
