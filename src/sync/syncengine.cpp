#include "sync/syncengine.h"

#include <map>
#include <optional>
#include <set>

#include "base/apperror.h"
#include "exchange/cardfields.h"
#include "exchange/vcardexport.h"
#include "exchange/vcardreader.h"
#include "model/storedtext.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/keptcards.h"
#include "store/statement.h"
#include "store/writetransaction.h"
#include "sync/davclient.h"

namespace {

using contact::kFieldCount;
using Fields = std::array<QByteArray, kFieldCount>;

// Each card of the address book as of the last sync: the contact it is paired
// with, its ETag then, and the fingerprint of the contact's fields then. The
// card's text then is the contact's kept card.
const char kPairTable[] = "tblSyncCard";
const char kServerKey[] = "SyncServer";
const char kUserKey[] = "SyncUser";
const char kBookKey[] = "SyncBook";
const char kTokenKey[] = "SyncToken";
const char kFingerprintKey[] = "SyncFingerprint";
const char kVersionKey[] = "SyncCardVersion";

struct Pair {
    qint64 id = 0;
    QByteArray etag;
    quint64 fields = 0;
};

void prepareTables(Connection& connection)
{
    keptcards::prepare(connection);
    connection.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Href TEXT PRIMARY KEY, ContactID INTEGER, "
                                      "ETag TEXT, Fields INTEGER)")
                           .arg(QLatin1String(kPairTable)));
}

bool tableExists(Connection& connection, const char* table)
{
    Statement query(connection, QStringLiteral("select 1 from sqlite_master where type = 'table' and name = ?1"));
    query.bindText(1, table);
    return query.step();
}

QString info(Connection& connection, const char* key)
{
    if (!tableExists(connection, keptcards::kInfoTable))
        return QString();
    Statement query(connection,
                    QStringLiteral("select Value from %1 where Name = ?1").arg(QLatin1String(keptcards::kInfoTable)));
    query.bindText(1, key);
    return query.step() ? textFromUtf8(query.text(0)) : QString();
}

void setInfo(Connection& connection, const char* key, const QString& value)
{
    Statement write(connection, QStringLiteral("insert or replace into %1 (Name, Value) values (?1, ?2)")
                                    .arg(QLatin1String(keptcards::kInfoTable)));
    // Bound, not copied: the bytes must outlive the step.
    const QByteArray bytes = value.toUtf8();
    write.bindText(1, key);
    write.bindText(2, bytes);
    write.step();
}

// The fields' columns, the key left out.
QStringList fieldColumns()
{
    return contact::columnNames().mid(1);
}

quint64 fingerprintOf(const Fields& fields)
{
    std::array<QByteArrayView, kFieldCount> views;
    for (int i = 0; i < kFieldCount; ++i)
        views[static_cast<size_t>(i)] = fields[static_cast<size_t>(i)];
    return keptcards::fingerprintOf(views);
}

Fields fieldsOf(const Contact& contact)
{
    Fields fields;
    for (const contact::FieldInfo& field : contact::fields())
        fields[static_cast<size_t>(contact::indexOf(field.field))] = contact[field.field].toUtf8();
    return fields;
}

// A server's card as the fields it gives and its UID; nothing when it cannot
// be read.
struct ServerCard {
    Fields fields;
    QByteArray uid;
    // The card's own notes, at the remark's start; the lines for what has no
    // field follow them.
    QByteArray note;
};

std::optional<ServerCard> readServerCard(const QByteArray& text, const ContactMapper& mapper)
{
    const VCardReadResult read = VCardReader::read(text);
    if (!read.ok() || read.cards.size() != 1)
        return std::nullopt;
    try {
        ServerCard card;
        const ImportedContact imported = mapper.fromCard(read.cards.front());
        card.fields = fieldsOf(imported.contact);
        card.note = imported.note.toUtf8();
        for (const VCardProperty& property : read.cards.front().properties) {
            if (property.name == u"UID")
                card.uid = property.value.toUtf8();
        }
        return card;
    } catch (const AppError&) {
        return std::nullopt;
    }
}

// What the data file holds, and what it held at the last sync.
class LocalSide {
public:
    explicit LocalSide(Connection& connection) : mConnection(connection) { reload(); }

    void reload()
    {
        contacts.clear();
        pairs.clear();
        Statement query(mConnection, QStringLiteral("select %1,%2 from tblContact")
                                         .arg(QLatin1String(contact::kIdColumn), fieldColumns().join(u',')));
        while (query.step()) {
            Fields fields;
            for (int i = 0; i < kFieldCount; ++i)
                fields[static_cast<size_t>(i)] = query.text(i + 1).toByteArray();
            contacts.emplace(query.int64(0), std::move(fields));
        }
        if (!tableExists(mConnection, kPairTable))
            return;
        Statement pairQuery(
            mConnection, QStringLiteral("select Href, ContactID, ETag, Fields from %1").arg(QLatin1String(kPairTable)));
        while (pairQuery.step()) {
            pairs[textFromUtf8(pairQuery.text(0))] = {pairQuery.int64(1), pairQuery.text(2).toByteArray(),
                                                      static_cast<quint64>(pairQuery.int64(3))};
        }
    }
    bool exists(qint64 id) const { return contacts.count(id) > 0; }
    bool changed(const Pair& pair) const
    {
        const auto found = contacts.find(pair.id);
        return found != contacts.end() && fingerprintOf(found->second) != pair.fields;
    }

    std::map<qint64, Fields> contacts;
    std::map<QString, Pair> pairs;

private:
    Connection& mConnection;
};

// The writes a sync makes to the data file, inside the caller's transaction.
// Each statement is prepared once, when first needed: a first sync writes
// three rows for each of thousands of cards.
class LocalWriter {
public:
    // The sync's tables are made once, when the sync begins.
    explicit LocalWriter(Connection& connection) : mConnection(connection) {}

    qint64 insert(const Fields& fields)
    {
        Statement& insert = prepared(mInsert, contact::insertParametersStatement());
        bind(insert, fields);
        run(insert);
        return mConnection.lastInsertId();
    }
    void update(qint64 id, const Fields& fields)
    {
        QStringList sets;
        const QStringList columns = fieldColumns();
        for (int i = 0; i < kFieldCount; ++i)
            sets << QStringLiteral("%1 = ?%2").arg(columns.at(i)).arg(i + 1);
        Statement& update = prepared(mUpdate, QStringLiteral("update tblContact set %1 where %2 = ?%3")
                                                  .arg(sets.join(u','), QLatin1String(contact::kIdColumn))
                                                  .arg(kFieldCount + 1));
        bind(update, fields);
        update.bindInt64(kFieldCount + 1, id);
        run(update);
    }
    void remove(qint64 id)
    {
        Statement& remove = prepared(
            mRemove, QStringLiteral("delete from tblContact where %1 = ?1").arg(QLatin1String(contact::kIdColumn)));
        remove.bindInt64(1, id);
        run(remove);
        keptcards::remove(mConnection, id);
    }
    // The card as the server has it now is what the contact's fields are
    // merged into when it goes out again.
    void keep(qint64 id, const QByteArray& uid, const QByteArray& card, const Fields& fields)
    {
        if (!mKept)
            mKept.emplace(mConnection);
        mKept->keep(id, uid, card, fingerprintOf(fields));
    }
    void pair(const QString& href, const Pair& pair)
    {
        Statement& write = prepared(mPair, QStringLiteral("insert or replace into %1 (Href, ContactID, ETag, Fields) "
                                                          "values (?1, ?2, ?3, ?4)")
                                               .arg(QLatin1String(kPairTable)));
        const QByteArray hrefBytes = href.toUtf8();
        write.bindText(1, hrefBytes);
        write.bindInt64(2, pair.id);
        write.bindText(3, pair.etag);
        write.bindInt64(4, static_cast<qint64>(pair.fields));
        run(write);
    }
    void unpair(const QString& href)
    {
        Statement& write =
            prepared(mUnpair, QStringLiteral("delete from %1 where Href = ?1").arg(QLatin1String(kPairTable)));
        const QByteArray hrefBytes = href.toUtf8();
        write.bindText(1, hrefBytes);
        run(write);
    }

private:
    Statement& prepared(std::optional<Statement>& statement, const QString& sql)
    {
        if (!statement)
            statement.emplace(mConnection, sql);
        return *statement;
    }
    static void run(Statement& statement)
    {
        statement.step();
        statement.reset();
    }
    static void bind(Statement& statement, const Fields& fields)
    {
        for (int i = 0; i < kFieldCount; ++i)
            statement.bindText(i + 1, fields[static_cast<size_t>(i)]);
    }
    Connection& mConnection;
    std::optional<Statement> mInsert;
    std::optional<Statement> mUpdate;
    std::optional<Statement> mRemove;
    std::optional<Statement> mPair;
    std::optional<Statement> mUnpair;
    std::optional<keptcards::Writer> mKept;
};

// Both sides changed one contact: a field changed on one side only takes
// that side's value; one changed on both takes the server's, and the local
// value is kept as a line in the remarks. Returns how many fields clashed.
int mergeClash(const Fields& base, const Fields& local, const ServerCard& serverCard, const QDate& today,
               Fields& merged)
{
    const Fields& server = serverCard.fields;
    merged = server;
    QStringList kept;
    for (const contact::FieldInfo& field : contact::fields()) {
        const auto at = static_cast<size_t>(contact::indexOf(field.field));
        if (local[at] == server[at] || local[at] == base[at])
            continue;
        if (server[at] == base[at]) {
            merged[at] = local[at];
            continue;
        }
        if (!isBlankUtf8(local[at])) {
            kept << QStringLiteral("Changed here on %1: %2: %3")
                        .arg(today.toString(Qt::ISODate), QLatin1String(field.listHeading), textFromUtf8(local[at]));
        }
    }
    const auto remark = static_cast<size_t>(contact::indexOf(contact::Field::Remark));
    const QByteArray lines = kept.join(u'\n').toUtf8();
    if (kept.isEmpty()) {
    } else if (merged[remark] == server[remark] && server[remark].startsWith(serverCard.note)) {
        // With the card's notes, before the lines of what has no field: those
        // still go back to their properties, and these out as a note.
        const QByteArray& note = serverCard.note;
        const QByteArray rest = server[remark].mid(note.size());
        merged[remark] = note.isEmpty() ? lines + (rest.isEmpty() ? "" : "\n\n") + rest : note + '\n' + lines + rest;
    } else {
        merged[remark] += (merged[remark].isEmpty() ? "" : "\n") + lines;
    }
    return static_cast<int>(kept.size());
}

QString nameOf(const Fields& fields)
{
    return textFromUtf8(fields[static_cast<size_t>(contact::indexOf(contact::Field::Name))]);
}

// The card a contact goes out as: its kept card with its fields put in.
QByteArray cardOf(Connection& connection, qint64 id, VCardVersion version)
{
    return vcardText(readForExport(connection, {id}), version);
}

// Where a contact new to the server goes: named after its UID, so that a
// sync interrupted after the upload finds it there, not a second copy.
QString hrefFor(const QUrl& book, const QByteArray& uid)
{
    QString name;
    for (const char c : uid)
        name += QChar::fromLatin1(c).isLetterOrNumber() || c == '-' || c == '_' || c == '.' ? QChar::fromLatin1(c)
                                                                                            : QChar(u'_');
    QString path = book.path(QUrl::FullyDecoded);
    if (!path.endsWith(u'/'))
        path += u'/';
    return path + name + QStringLiteral(".vcf");
}

QUrl urlOf(const QUrl& book, const QString& href)
{
    QUrl url = book;
    url.setPath(href, QUrl::DecodedMode);
    return url;
}

QByteArray uidOf(Connection& connection, qint64 id)
{
    if (const std::optional<keptcards::KeptCard> kept = keptcards::read(connection, id); kept && !kept->uid.isEmpty())
        return kept->uid;
    return keptcards::madeUid(keptcards::uidNamespace(connection), id).toUtf8();
}

} // namespace

QString SyncSummary::line() const
{
    QString text = QStringLiteral("%1 received, %2 sent, %3 deleted here, %4 deleted there, %5 clashes kept in the "
                                  "remarks")
                       .arg(received)
                       .arg(sent)
                       .arg(deletedHere)
                       .arg(deletedThere)
                       .arg(clashes);
    if (!clashed.isEmpty())
        text += QStringLiteral(" (%1)").arg(clashed.join(QStringLiteral(", ")));
    if (!keptDespiteDeletion.isEmpty())
        text += QStringLiteral("; deleted on one side and changed on the other, so kept on both: %1")
                    .arg(keptDespiteDeletion.join(QStringLiteral(", ")));
    if (!refused.isEmpty())
        text += QStringLiteral("; refused by the server, kept here: %1").arg(refused.join(QStringLiteral(", ")));
    if (!unreadable.isEmpty())
        text += QStringLiteral("; cards that could not be read, left on the server: %1")
                    .arg(unreadable.join(QStringLiteral(", ")));
    return text;
}

std::optional<SyncAccount> loadSyncAccount(Connection& connection)
{
    const QString book = info(connection, kBookKey);
    if (book.isEmpty())
        return std::nullopt;
    return SyncAccount{QUrl(info(connection, kServerKey)), info(connection, kUserKey), QUrl(book),
                       info(connection, kFingerprintKey)};
}

void saveSyncAccount(Connection& connection, const SyncAccount& account)
{
    inWriteTransaction(connection, [&] {
        prepareTables(connection);
        if (info(connection, kBookKey) != account.book.toString()) {
            connection.execute(QStringLiteral("delete from %1").arg(QLatin1String(kPairTable)));
            setInfo(connection, kTokenKey, QString());
            setInfo(connection, kVersionKey, QString());
        }
        setInfo(connection, kServerKey, account.server.toString());
        setInfo(connection, kUserKey, account.user);
        setInfo(connection, kBookKey, account.book.toString());
        setInfo(connection, kFingerprintKey, account.fingerprint);
        return 0;
    });
}

namespace {

// One sync from start to end.
class SyncRun {
public:
    SyncRun(Connection& connection, DavClient& client, const SyncOptions& options, const QUrl& book)
        : mConnection(connection), mClient(client), mOptions(options), mBook(book), mLocal(connection)
    {
    }

    SyncSummary run()
    {
        // Asked once, on the first sync, and kept with the account.
        QString version = info(mConnection, kVersionKey);
        if (version.isEmpty())
            version = mClient.cardVersion(mBook);
        inWriteTransaction(mConnection, [&] {
            prepareTables(mConnection);
            setInfo(mConnection, kVersionKey, version);
            return 0;
        });
        mVersion = version == u"4.0" ? VCardVersion::V40 : VCardVersion::V30;
        const QString token = findServerChanges();
        guardAgainstMassDeletion();
        std::vector<DavCard> cards = fetchChanged();
        // The server's side comes in, in one transaction.
        inWriteTransaction(mConnection, [&] {
            LocalWriter writer(mConnection);
            std::map<QByteArray, qint64> unpairedByUid;
            std::set<qint64> paired;
            for (const auto& [href, pair] : mLocal.pairs)
                paired.insert(pair.id);
            for (const auto& [id, fields] : mLocal.contacts) {
                if (paired.count(id) == 0)
                    unpairedByUid[uidOf(mConnection, id)] = id;
            }
            for (const DavCard& card : cards)
                takeServerCard(writer, card, unpairedByUid);
            for (const QString& href : mRemovedHrefs)
                takeServerDeletion(writer, href);
            return 0;
        });
        mLocal.reload();
        sendDeletions();
        sendChanges();
        sendNewContacts();
        const QString next = tokenAfterOwnWrites(token);
        inWriteTransaction(mConnection, [&] {
            setInfo(mConnection, kTokenKey, next);
            return 0;
        });
        return mSummary;
    }

private:
    // Fills the hrefs changed and removed there since the last sync; returns
    // the token to ask with next time.
    QString findServerChanges()
    {
        const QString oldToken = info(mConnection, kTokenKey);
        if (!oldToken.isEmpty()) {
            DavChanges changes = mClient.changesSince(mBook, oldToken);
            if (!changes.tokenRefused) {
                for (const DavCard& card : changes.changed) {
                    if (changedThere(card))
                        mChangedHrefs << card.href;
                }
                for (const QString& href : changes.removed) {
                    if (mLocal.pairs.count(href) > 0)
                        mRemovedHrefs << href;
                }
                return changes.token;
            }
        }
        // No token, or one the server no longer knows: every card compared by
        // its ETag, which never deletes or doubles anything.
        const QString token = mClient.syncToken(mBook);
        std::set<QString> there;
        for (const DavCard& card : mClient.listEtags(mBook)) {
            there.insert(card.href);
            if (changedThere(card))
                mChangedHrefs << card.href;
        }
        for (const auto& [href, pair] : mLocal.pairs) {
            if (there.count(href) == 0)
                mRemovedHrefs << href;
        }
        return token;
    }
    // The token from before this sync's own writes would report them next
    // time, and a server may leave out a card added and deleted since a
    // token altogether (Xandikos does): a card this sync sent and another
    // client deleted would go unnoticed. So the token moves past the writes
    // when everything since it is this sync's own doing; otherwise none is
    // kept, and the next sync compares every card.
    QString tokenAfterOwnWrites(const QString& token)
    {
        if (token.isEmpty() || mWrites == 0)
            return token;
        const DavChanges since = mClient.changesSince(mBook, token);
        if (since.tokenRefused)
            return QString();
        mLocal.reload();
        for (const DavCard& card : since.changed) {
            if (changedThere(card))
                return QString();
        }
        for (const QString& href : since.removed) {
            if (mLocal.pairs.count(href) > 0)
                return QString();
        }
        return since.token;
    }

    // A few cards by name; many, or a first sync, in one query for all.
    // Xandikos reads its whole index for every card a multiget names (0.1 s
    // each at 10,000 cards, with nothing sent until the end), while a query
    // returns 10,000 in about two seconds.
    std::vector<DavCard> fetchChanged()
    {
        if (mChangedHrefs.isEmpty())
            return {};
        if (!mLocal.pairs.empty() && mChangedHrefs.size() <= kMostByName)
            return mClient.fetch(mBook, mChangedHrefs);
        std::vector<DavCard> all = mClient.fetchAll(mBook);
        const std::set<QString> changed(mChangedHrefs.cbegin(), mChangedHrefs.cend());
        std::erase_if(all, [&changed](const DavCard& card) { return changed.count(card.href) == 0; });
        return all;
    }
    static constexpr qsizetype kMostByName = 50;

    bool changedThere(const DavCard& card) const
    {
        const auto pair = mLocal.pairs.find(card.href);
        return pair == mLocal.pairs.end() || pair->second.etag != card.etag;
    }

    // Nothing is changed anywhere before the guard has seen both sides.
    void guardAgainstMassDeletion() const
    {
        int deleteHere = 0;
        for (const QString& href : mRemovedHrefs) {
            const Pair& pair = mLocal.pairs.at(href);
            deleteHere += mLocal.exists(pair.id) && !mLocal.changed(pair) ? 1 : 0;
        }
        const std::set<QString> changed(mChangedHrefs.cbegin(), mChangedHrefs.cend());
        int deleteThere = 0;
        for (const auto& [href, pair] : mLocal.pairs)
            deleteThere += !mLocal.exists(pair.id) && changed.count(href) == 0 ? 1 : 0;
        const auto tooMany = [](int deletions, size_t of) { return deletions > 10 && deletions * size_t(2) > of; };
        if (!mOptions.allowMassDelete &&
            (tooMany(deleteHere, mLocal.contacts.size()) || tooMany(deleteThere, mLocal.pairs.size()))) {
            throw MassDeletion(QStringLiteral("This sync would delete %1 contacts here and %2 on the server, more "
                                              "than half of them. Nothing was changed.")
                                   .arg(deleteHere)
                                   .arg(deleteThere));
        }
    }

    void takeServerCard(LocalWriter& writer, const DavCard& card, const std::map<QByteArray, qint64>& unpairedByUid)
    {
        const std::optional<ServerCard> server = readServerCard(card.card, mMapper);
        if (!server) {
            mSummary.unreadable << card.href;
            return;
        }
        const auto found = mLocal.pairs.find(card.href);
        std::optional<Pair> pair = found == mLocal.pairs.end() ? std::nullopt : std::optional<Pair>(found->second);
        if (!pair) {
            // Uploaded by a sync that stopped before it could note it.
            if (const auto same = unpairedByUid.find(server->uid); same != unpairedByUid.end())
                pair = Pair{same->second, {}, 0};
        }
        if (!pair || !mLocal.exists(pair->id)) {
            if (pair)
                mSummary.keptDespiteDeletion << nameOf(server->fields);
            const qint64 id = writer.insert(server->fields);
            writer.keep(id, server->uid, card.card, server->fields);
            writer.pair(card.href, {id, card.etag, fingerprintOf(server->fields)});
            ++mSummary.received;
            return;
        }
        const Fields& current = mLocal.contacts.at(pair->id);
        if (!mLocal.changed(*pair) || current == server->fields) {
            writer.update(pair->id, server->fields);
            writer.keep(pair->id, server->uid, card.card, server->fields);
            writer.pair(card.href, {pair->id, card.etag, fingerprintOf(server->fields)});
            mSummary.received += current == server->fields ? 0 : 1;
            return;
        }
        // Changed on both sides since the last sync: the fields as they were
        // then come from the card kept then.
        Fields base;
        if (const std::optional<keptcards::KeptCard> kept = keptcards::read(mConnection, pair->id)) {
            if (const std::optional<ServerCard> before = readServerCard(kept->card, mMapper))
                base = before->fields;
        }
        Fields merged;
        const int clashes = mergeClash(base, current, *server, mOptions.today, merged);
        mSummary.clashes += clashes;
        if (clashes > 0)
            mSummary.clashed << nameOf(merged);
        writer.update(pair->id, merged);
        writer.keep(pair->id, server->uid, card.card, server->fields);
        // Paired with the server's fields: what differs from them goes out.
        writer.pair(card.href, {pair->id, card.etag, fingerprintOf(server->fields)});
        // Received only when the server's side changed something here.
        mSummary.received += merged != current ? 1 : 0;
        mLocal.contacts[pair->id] = merged;
    }

    void takeServerDeletion(LocalWriter& writer, const QString& href)
    {
        const Pair& pair = mLocal.pairs.at(href);
        if (mLocal.exists(pair.id) && !mLocal.changed(pair)) {
            writer.remove(pair.id);
            ++mSummary.deletedHere;
        } else if (mLocal.exists(pair.id)) {
            mSummary.keptDespiteDeletion << nameOf(mLocal.contacts.at(pair.id));
        }
        // A contact changed here goes up again as a new card.
        writer.unpair(href);
    }

    template <typename Work> void record(Work work)
    {
        inWriteTransaction(mConnection, [&] {
            LocalWriter writer(mConnection);
            work(writer);
            return 0;
        });
    }

    void sendDeletions()
    {
        for (const auto& [href, pair] : mLocal.pairs) {
            if (mLocal.exists(pair.id))
                continue;
            const DavClient::Outcome outcome = mClient.remove(urlOf(mBook, href), pair.etag);
            ++mWrites;
            if (outcome == DavClient::Outcome::ChangedThere) {
                // Changed there since: the next sync brings it back here.
                record([&](LocalWriter& writer) { writer.pair(href, {pair.id, {}, pair.fields}); });
                continue;
            }
            mSummary.deletedThere += outcome == DavClient::Outcome::Done ? 1 : 0;
            record([&](LocalWriter& writer) { writer.unpair(href); });
        }
    }

    DavClient::Outcome upload(qint64 id, const QString& href, const QByteArray& etag)
    {
        const QByteArray card = cardOf(mConnection, id, mVersion);
        QByteArray newEtag;
        const DavClient::Outcome outcome = mClient.put(urlOf(mBook, href), card, etag, newEtag);
        ++mWrites;
        if (outcome == DavClient::Outcome::Refused)
            mSummary.refused << nameOf(mLocal.contacts.at(id));
        if (outcome != DavClient::Outcome::Done)
            return outcome;
        const Fields& fields = mLocal.contacts.at(id);
        record([&](LocalWriter& writer) {
            writer.keep(id, uidOf(mConnection, id), card, fields);
            writer.pair(href, {id, newEtag, fingerprintOf(fields)});
        });
        ++mSummary.sent;
        return outcome;
    }

    void sendChanges()
    {
        const std::map<QString, Pair> pairs = mLocal.pairs;
        for (const auto& [href, pair] : pairs) {
            if (!mLocal.changed(pair))
                continue;
            DavClient::Outcome outcome = upload(pair.id, href, pair.etag);
            if (outcome == DavClient::Outcome::Gone)
                outcome = upload(pair.id, href, {});
            if (outcome != DavClient::Outcome::ChangedThere)
                continue;
            // Changed there since this sync looked: merged with what is there
            // now, and sent once more.
            const std::vector<DavCard> now = mClient.fetch(mBook, {href});
            if (now.empty())
                continue;
            inWriteTransaction(mConnection, [&] {
                LocalWriter writer(mConnection);
                takeServerCard(writer, now.front(), {});
                return 0;
            });
            mLocal.pairs[href] = {pair.id, now.front().etag, 0};
            if (mLocal.contacts.at(pair.id) != readServerCard(now.front().card, mMapper).value_or(ServerCard()).fields)
                upload(pair.id, href, now.front().etag);
        }
    }

    void sendNewContacts()
    {
        std::set<qint64> paired;
        for (const auto& [href, pair] : mLocal.pairs)
            paired.insert(pair.id);
        for (const auto& [id, fields] : mLocal.contacts) {
            if (paired.count(id) > 0)
                continue;
            const QString href = hrefFor(mBook, uidOf(mConnection, id));
            if (upload(id, href, {}) == DavClient::Outcome::ChangedThere) {
                // A card is there already under that name: the next sync
                // pairs it by its UID.
                record([&](LocalWriter& writer) { writer.pair(href, {id, {}, 0}); });
            }
        }
    }

    Connection& mConnection;
    DavClient& mClient;
    const SyncOptions& mOptions;
    const QUrl mBook;
    const ContactMapper mMapper;
    LocalSide mLocal;
    SyncSummary mSummary;
    QStringList mChangedHrefs;
    QStringList mRemovedHrefs;
    // Requests that changed the server.
    int mWrites = 0;
    VCardVersion mVersion = VCardVersion::V30;
};

} // namespace

SyncSummary syncContacts(Connection& connection, DavClient& client, const SyncOptions& options)
{
    const std::optional<SyncAccount> account = loadSyncAccount(connection);
    if (!account)
        throw AppError(QStringLiteral("No sync account is set."));
    // Made and stored now: the UIDs of contacts new to the server come from it
    // inside the transactions of the sync.
    keptcards::uidNamespace(connection);
    return SyncRun(connection, client, options, account->book).run();
}
