#include "storeprobe.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "base/apperror.h"
#include "store/connection.h"
#include "store/sqlitehandles.h"

namespace {

QString columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (!text)
        return QString();
    // QString::fromUtf8 drops a leading U+FEFF; what is stored is wanted here.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(text, sqlite3_column_bytes(statement, column)));
}

StatementHandle prepared(sqlite3* db, const char* sql)
{
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    StatementHandle statement(raw);
    check(rc, db);
    return statement;
}

} // namespace

std::vector<StoredRow> rowsById(sqlite3* db)
{
    StatementHandle statement = prepared(db, "select * from tblContact order by ContactID");
    std::vector<StoredRow> rows;
    while (check(sqlite3_step(statement.get()), db) == SQLITE_ROW) {
        StoredRow row;
        for (int i = 0; i < 14 && i < sqlite3_column_count(statement.get()); ++i)
            row[static_cast<size_t>(i)] = columnText(statement.get(), i);
        rows.push_back(row);
    }
    return rows;
}

std::vector<StoredRow> rowsById(Connection& connection)
{
    return rowsById(connection.handle());
}

QStringList firstColumn(sqlite3* db, const char* sql)
{
    StatementHandle statement = prepared(db, sql);
    QStringList values;
    while (check(sqlite3_step(statement.get()), db) == SQLITE_ROW)
        values << columnText(statement.get(), 0);
    return values;
}

QStringList integrityCheck(Connection& connection)
{
    return firstColumn(connection.handle(), "PRAGMA integrity_check");
}

QStringList schemaOf(Connection& connection)
{
    return firstColumn(connection.handle(), "select type || '|' || name || '|' || tbl_name || '|' || coalesce(sql, '') "
                                            "from sqlite_master order by name");
}

QByteArray fileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("unreadable");
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

QString connectionStringFor(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= ") + path;
}

QStringList sideFiles(const QString& dataFile)
{
    QStringList found;
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const QString side = dataFile + QLatin1String(suffix);
        if (QFileInfo::exists(side))
            found << side;
    }
    return found;
}

std::uint64_t testSeed()
{
    bool ok = false;
    const qulonglong chosen = qEnvironmentVariable("RELIABILITY_SEED").toULongLong(&ok);
    return ok ? chosen : 20240607u;
}
