#include "store/undohistory.h"

#include <sqlite3.h>

#include "base/apperror.h"
#include "store/casefolding.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/samename.h"
#include "store/sqlitehandles.h"
#include "store/writetransaction.h"

namespace {

// Table and column names come from the file's own schema: quoted, never
// trusted as they are.
QString quoted(const QString& name)
{
    QString inner = name;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

StoredValue valueAt(sqlite3_stmt* statement, int column)
{
    StoredValue value;
    value.type = sqlite3_column_type(statement, column);
    if (value.type == SQLITE_BLOB) {
        const void* bytes = sqlite3_column_blob(statement, column);
        value.bytes = QByteArray(static_cast<const char*>(bytes), sqlite3_column_bytes(statement, column));
    } else if (value.type != SQLITE_NULL) {
        // Integers and reals as SQLite writes them as text: exact both ways.
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        value.bytes = QByteArray(text, sqlite3_column_bytes(statement, column));
    }
    return value;
}

void bind(sqlite3* db, sqlite3_stmt* statement, int at, const StoredValue& value)
{
    const QByteArray& bytes = value.bytes;
    switch (value.type) {
    case SQLITE_INTEGER:
        check(sqlite3_bind_int64(statement, at, bytes.toLongLong()), db);
        break;
    case SQLITE_FLOAT:
        check(sqlite3_bind_double(statement, at, bytes.toDouble()), db);
        break;
    case SQLITE_BLOB:
        check(sqlite3_bind_blob(statement, at, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT),
              db);
        break;
    case SQLITE_TEXT:
        check(sqlite3_bind_text(statement, at, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT),
              db);
        break;
    default:
        check(sqlite3_bind_null(statement, at), db);
    }
}

QString nameOf(const ContactImage& image)
{
    const QLatin1String nameColumn(contact::info(contact::Field::Name).column);
    for (const TableRow& row : image.rows) {
        if (row.table.compare(QLatin1String("tblContact"), Qt::CaseInsensitive) != 0)
            continue;
        for (qsizetype c = 0; c < row.columns.size(); ++c) {
            if (row.columns[c].compare(nameColumn, Qt::CaseInsensitive) == 0)
                return QString::fromUtf8(row.values[static_cast<size_t>(c)].bytes);
        }
    }
    return QStringLiteral("a contact");
}

void putBack(Connection& connection, const QStringList& tables, const ContactImage& image)
{
    sqlite3* db = connection.handle();
    // The rows beside the contact first, its own row last: nothing is ever
    // left pointing at a contact that is not there.
    removeCompanionRows(connection, image.id, tables);
    const StatementHandle remove = prepareOne(db, QStringLiteral("delete from tblContact where ContactID = ?"));
    check(sqlite3_bind_int64(remove.get(), 1, image.id), db);
    check(sqlite3_step(remove.get()), db);
    for (const TableRow& row : image.rows) {
        QStringList columns;
        for (const QString& column : row.columns)
            columns << quoted(column);
        const QString marks = QStringLiteral("?,").repeated(columns.size()).chopped(1);
        const StatementHandle insert = prepareOne(
            db, QStringLiteral("insert into %1 (%2) values (%3)").arg(quoted(row.table), columns.join(','), marks));
        for (size_t i = 0; i < row.values.size(); ++i)
            bind(db, insert.get(), static_cast<int>(i) + 1, row.values[i]);
        check(sqlite3_step(insert.get()), db);
    }
}

} // namespace

void removeCompanionRows(Connection& connection, qint64 id, const QStringList& tables)
{
    sqlite3* db = connection.handle();
    for (const QString& table : tables.mid(1)) {
        const StatementHandle remove =
            prepareOne(db, QStringLiteral("delete from %1 where ContactID = ?").arg(quoted(table)));
        check(sqlite3_bind_int64(remove.get(), 1, id), db);
        check(sqlite3_step(remove.get()), db);
    }
}

QStringList contactTables(Connection& connection)
{
    sqlite3* db = connection.handle();
    QStringList tables{QStringLiteral("tblContact")};
    const StatementHandle list = prepareOne(
        db, QStringLiteral("select m.name from sqlite_master m join pragma_table_info(m.name) c "
                           "where m.type = 'table' and lower(c.name) = 'contactid' and lower(m.name) <> 'tblcontact' "
                           "and m.name not like 'sqlite\\_%' escape '\\' order by m.name"));
    while (check(sqlite3_step(list.get()), db) == SQLITE_ROW)
        tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0)));
    return tables;
}

ContactImage captureContact(Connection& connection, qint64 id, const QStringList& tables)
{
    sqlite3* db = connection.handle();
    ContactImage image;
    image.id = id;
    for (const QString& table : tables) {
        const StatementHandle read =
            prepareOne(db, QStringLiteral("select * from %1 where ContactID = ? order by rowid").arg(quoted(table)));
        check(sqlite3_bind_int64(read.get(), 1, id), db);
        while (check(sqlite3_step(read.get()), db) == SQLITE_ROW) {
            TableRow row;
            row.table = table;
            for (int c = 0; c < sqlite3_column_count(read.get()); ++c) {
                row.columns << QString::fromUtf8(sqlite3_column_name(read.get(), c));
                row.values.push_back(valueAt(read.get(), c));
            }
            image.rows.push_back(std::move(row));
        }
    }
    return image;
}

qint64 highestContactId(Connection& connection)
{
    sqlite3* db = connection.handle();
    const StatementHandle highest = prepareOne(db, QStringLiteral("select max(ContactID) from tblContact"));
    return check(sqlite3_step(highest.get()), db) == SQLITE_ROW ? sqlite3_column_int64(highest.get(), 0) : 0;
}

std::vector<ContactImage> contactsAbove(Connection& connection, qint64 id)
{
    sqlite3* db = connection.handle();
    const QStringList tables = contactTables(connection);
    std::vector<qint64> ids;
    const StatementHandle above =
        prepareOne(db, QStringLiteral("select ContactID from tblContact where ContactID > ? order by ContactID"));
    check(sqlite3_bind_int64(above.get(), 1, id), db);
    while (check(sqlite3_step(above.get()), db) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(above.get(), 0));
    std::vector<ContactImage> images;
    for (const qint64 each : ids)
        images.push_back(captureContact(connection, each, tables));
    return images;
}

void UndoHistory::record(UndoStep step)
{
    mUndone.clear();
    mDone.push_back(std::move(step));
    if (mDone.size() > kMostSteps)
        mDone.erase(mDone.begin());
}

QString UndoHistory::undoLabel() const
{
    return canUndo() ? mDone.back().label : QString();
}

QString UndoHistory::redoLabel() const
{
    return canRedo() ? mUndone.back().label : QString();
}

UndoHistory::Outcome UndoHistory::undo(Connection& connection)
{
    if (!canUndo())
        return {};
    Outcome outcome = apply(connection, mDone.back(), true);
    if (outcome.done) {
        mUndone.push_back(std::move(mDone.back()));
        mDone.pop_back();
    }
    return outcome;
}

UndoHistory::Outcome UndoHistory::redo(Connection& connection)
{
    if (!canRedo())
        return {};
    Outcome outcome = apply(connection, mUndone.back(), false);
    if (outcome.done) {
        mDone.push_back(std::move(mUndone.back()));
        mUndone.pop_back();
    }
    return outcome;
}

UndoHistory::Outcome UndoHistory::apply(Connection& connection, const UndoStep& step, bool backwards)
{
    const std::vector<ContactImage>& expected = backwards ? step.after : step.before;
    const std::vector<ContactImage>& wanted = backwards ? step.before : step.after;
    return inWriteTransaction(connection, [&] {
        Outcome outcome;
        const QStringList tables = contactTables(connection);
        for (const ContactImage& image : expected) {
            if (captureContact(connection, image.id, tables) != image) {
                outcome.refusal =
                    QStringLiteral("%1 was changed since (in this window, another window or another program), so "
                                   "nothing was changed back.")
                        .arg(nameOf(image.exists() ? image : wanted[static_cast<size_t>(&image - expected.data())]));
                return outcome;
            }
        }
        for (const ContactImage& image : wanted) {
            for (const TableRow& row : image.rows) {
                if (!tables.contains(row.table))
                    throw AppError(QStringLiteral("The table %1 is no longer in the data file").arg(row.table));
            }
        }
        // A contact coming back must not meet a namesake added meanwhile,
        // which the editor would have refused.
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (!wanted[i].exists() || expected[i].exists())
                continue;
            const QString name = nameOf(wanted[i]);
            if (isNameStored(connection, SameName(name, CaseFolding::forUserLocale()))) {
                outcome.refusal =
                    QStringLiteral("A contact named %1 was added since, so nothing was changed back.").arg(name);
                return outcome;
            }
        }
        for (const ContactImage& image : wanted) {
            putBack(connection, tables, image);
            outcome.touched << QString::number(image.id);
            if (image.exists())
                outcome.ids << QString::number(image.id);
        }
        outcome.done = true;
        return outcome;
    });
}
