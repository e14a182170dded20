#include "store/keptcards.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/apperror.h"
#include "store/connection.h"
#include "store/writetransaction.h"

namespace keptcards {

namespace {

const char kNamespaceKey[] = "uid-namespace";

QString tableQuery(const char* table)
{
    return QStringLiteral("select count(*) from sqlite_schema where type = 'table' and name = '%1'")
        .arg(QLatin1String(table));
}

bool tableExists(Connection& connection, const char* table)
{
    Statement query(connection, tableQuery(table));
    return query.step() && query.int64(0) > 0;
}

} // namespace

bool exists(Connection& connection)
{
    return tableExists(connection, kCardTable);
}

void prepare(Connection& connection)
{
    // Without a foreign key or a trigger: tblContact stays exactly as other
    // programs know it, and a delete there leaves an orphan here that
    // nobody reads.
    connection.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (ContactID INTEGER PRIMARY KEY, Uid TEXT, "
                                      "Card TEXT, Fields INTEGER)")
                           .arg(QLatin1String(kCardTable)));
    connection.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Name TEXT PRIMARY KEY, Value TEXT)")
                           .arg(QLatin1String(kInfoTable)));
}

void removeOrphans(Connection& connection)
{
    if (exists(connection))
        connection.execute(QStringLiteral("DELETE FROM %1 WHERE ContactID NOT IN (SELECT ContactID FROM tblContact)")
                               .arg(QLatin1String(kCardTable)));
}

std::optional<KeptCard> read(Connection& connection, qint64 id)
{
    if (!exists(connection))
        return std::nullopt;
    Statement query(connection, QStringLiteral("SELECT Uid, Card, Fields FROM %1 WHERE ContactID = ?1 AND ContactID "
                                               "IN (SELECT ContactID FROM tblContact)")
                                    .arg(QLatin1String(kCardTable)));
    query.bindInt64(1, id);
    if (!query.step())
        return std::nullopt;
    return KeptCard{id, query.text(0).toByteArray(), query.text(1).toByteArray(),
                    static_cast<quint64>(query.int64(2))};
}

void forEach(Connection& connection, const std::function<void(const KeptCard&)>& take)
{
    if (!exists(connection))
        return;
    Statement query(connection, QStringLiteral("SELECT k.ContactID, k.Uid, k.Card, k.Fields FROM %1 AS k JOIN "
                                               "tblContact AS c ON c.ContactID = k.ContactID ORDER BY k.ContactID")
                                    .arg(QLatin1String(kCardTable)));
    KeptCard card;
    while (query.step()) {
        card.id = query.int64(0);
        card.uid = query.text(1).toByteArray();
        card.card = query.text(2).toByteArray();
        card.fingerprint = static_cast<quint64>(query.int64(3));
        take(card);
    }
}

void remove(Connection& connection, qint64 id)
{
    if (!exists(connection))
        return;
    Statement statement(connection,
                        QStringLiteral("DELETE FROM %1 WHERE ContactID = ?1").arg(QLatin1String(kCardTable)));
    statement.bindInt64(1, id);
    statement.step();
}

namespace {

// FNV-1a, fixed here for good: stored fingerprints must still compare after
// any upgrade. A field's end is marked, so that moving text from one field
// to the next changes it.
constexpr quint64 kOffsetBasis = 14695981039346656037ull;
constexpr quint64 kPrime = 1099511628211ull;
constexpr unsigned char kFieldEnd = 0x1F;

// A contact's fields one after the other, each with its end marked: hashed
// as one run, it gives the fingerprint of the fields.
void markedRun(const Fields& fields, std::string& run)
{
    run.clear();
    for (const QByteArrayView field : fields) {
        run.append(field.data(), static_cast<size_t>(field.size()));
        run.push_back(static_cast<char>(kFieldEnd));
    }
}

} // namespace

quint64 fingerprintOf(const Fields& fields)
{
    quint64 hash = kOffsetBasis;
    for (const QByteArrayView field : fields) {
        for (const char c : field)
            hash = (hash ^ static_cast<unsigned char>(c)) * kPrime;
        hash = (hash ^ kFieldEnd) * kPrime;
    }
    return hash;
}

void fingerprintsOf(std::span<const Fields> rows, std::span<quint64> fingerprints)
{
    // Each byte's product waits for the one before, so one contact at a time
    // leaves the multiplier idle most of the time. Four contacts side by side
    // keep it busy; a lane whose contact is done takes the next one.
    constexpr size_t kLanes = 4;
    struct Lane {
        std::string run;
        const unsigned char* at = nullptr;
        const unsigned char* end = nullptr;
        quint64 hash = 0;
        size_t row = 0;
    };
    std::array<Lane, kLanes> lanes;
    size_t next = 0;
    const auto take = [&](Lane& lane) {
        lane.row = next++;
        markedRun(rows[lane.row], lane.run);
        lane.at = reinterpret_cast<const unsigned char*>(lane.run.data());
        lane.end = lane.at + lane.run.size();
        lane.hash = kOffsetBasis;
    };
    if (rows.size() >= kLanes) {
        for (Lane& lane : lanes)
            take(lane);
        for (;;) {
            size_t common = std::numeric_limits<size_t>::max();
            for (const Lane& lane : lanes)
                common = std::min(common, static_cast<size_t>(lane.end - lane.at));
            quint64 h0 = lanes[0].hash, h1 = lanes[1].hash, h2 = lanes[2].hash, h3 = lanes[3].hash;
            const unsigned char *a0 = lanes[0].at, *a1 = lanes[1].at, *a2 = lanes[2].at, *a3 = lanes[3].at;
            for (size_t i = 0; i < common; ++i) {
                h0 = (h0 ^ a0[i]) * kPrime;
                h1 = (h1 ^ a1[i]) * kPrime;
                h2 = (h2 ^ a2[i]) * kPrime;
                h3 = (h3 ^ a3[i]) * kPrime;
            }
            lanes[0].hash = h0, lanes[1].hash = h1, lanes[2].hash = h2, lanes[3].hash = h3;
            bool allBusy = true;
            for (Lane& lane : lanes) {
                lane.at += common;
                if (lane.at != lane.end)
                    continue;
                fingerprints[lane.row] = lane.hash;
                if (next < rows.size())
                    take(lane);
                else
                    allBusy = false;
            }
            if (!allBusy)
                break;
        }
        // The lanes still busy finish one at a time.
        for (Lane& lane : lanes) {
            if (lane.at == lane.end)
                continue;
            quint64 hash = lane.hash;
            for (; lane.at != lane.end; ++lane.at)
                hash = (hash ^ *lane.at) * kPrime;
            fingerprints[lane.row] = hash;
        }
    }
    for (; next < rows.size(); ++next)
        fingerprints[next] = fingerprintOf(rows[next]);
}

UidMaker::UidMaker(const QUuid& fileNamespace) : mNamespace(fileNamespace)
{
    const QByteArray text = fileNamespace.toByteArray(QUuid::WithoutBraces);
    std::copy_n(text.constData(), kLength, mText);
}

QByteArrayView UidMaker::of(qint64 id)
{
    // The file's random namespace with the key in its last 48 bits: unique
    // in the file, unlike any other file's, and made without hashing, which
    // an export of a hundred thousand contacts would notice. A key beyond
    // 48 bits (another program's table) takes a name-based UUID instead.
    if (id < 0 || id >= (qint64{1} << 48)) {
        const QByteArray made = QUuid::createUuidV5(mNamespace, QString::number(id)).toByteArray(QUuid::WithoutBraces);
        std::copy_n(made.constData(), kLength, mOther);
        return QByteArrayView(mOther, kLength);
    }
    static const char kHex[] = "0123456789abcdef";
    for (int digit = 0; digit < 12; ++digit)
        mText[kLength - 1 - digit] = kHex[(id >> (4 * digit)) & 0xF];
    return QByteArrayView(mText, kLength);
}

QString madeUid(const QUuid& fileNamespace, qint64 id)
{
    UidMaker maker(fileNamespace);
    return QString::fromLatin1(maker.of(id));
}

QUuid uidNamespace(Connection& connection)
{
    const auto stored = [&]() -> QUuid {
        if (!tableExists(connection, kInfoTable))
            return QUuid();
        Statement query(connection, QStringLiteral("SELECT Value FROM %1 WHERE Name = '%2'")
                                        .arg(QLatin1String(kInfoTable), QLatin1String(kNamespaceKey)));
        return query.step() ? QUuid::fromString(QString::fromUtf8(query.text(0))) : QUuid();
    };
    QUuid found = stored();
    if (!found.isNull())
        return found;
    const QUuid made = QUuid::createUuid();
    try {
        // Another copy may make one at the same moment: whichever is stored
        // first is the file's.
        WriteTransaction transaction(connection);
        prepare(connection);
        connection.execute(
            QStringLiteral("INSERT OR IGNORE INTO %1 (Name, Value) VALUES ('%2', '%3')")
                .arg(QLatin1String(kInfoTable), QLatin1String(kNamespaceKey), made.toString(QUuid::WithoutBraces)));
        transaction.commit();
    } catch (const AppError&) {
        // A file that cannot be written still exports, with UIDs that last
        // for this run.
        return made;
    }
    found = stored();
    return found.isNull() ? made : found;
}

Writer::Writer(Connection& connection)
    : mInsert(connection,
              QStringLiteral("INSERT OR REPLACE INTO %1 (ContactID, Uid, Card, Fields) VALUES (?1, ?2, ?3, ?4)")
                  .arg(QLatin1String(kCardTable)))
{
}

void Writer::keep(qint64 id, QByteArrayView uid, QByteArrayView card, quint64 fingerprint)
{
    mInsert.bindInt64(1, id);
    if (uid.isEmpty())
        mInsert.bindNull(2);
    else
        mInsert.bindText(2, uid);
    if (card.isEmpty())
        mInsert.bindNull(3);
    else
        mInsert.bindText(3, card);
    mInsert.bindInt64(4, static_cast<qint64>(fingerprint));
    mInsert.step();
    mInsert.reset();
}

} // namespace keptcards
