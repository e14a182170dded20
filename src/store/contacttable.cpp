#include "store/contacttable.h"

#include <limits>

#include "base/apperror.h"

namespace contact {

namespace {

// "-9223372036854775808": the longest text of a 64-bit integer.
const int kMaxIdLength = 20;

} // namespace

QStringList columnNames()
{
    QStringList names{QLatin1String(kIdColumn)};
    for (const FieldInfo& field : fields())
        names << QLatin1String(field.column);
    return names;
}

QString createTableStatement()
{
    QString sql = QStringLiteral("CREATE TABLE tblContact (%1 INTEGER PRIMARY KEY AUTOINCREMENT").arg(kIdColumn);
    for (const FieldInfo& field : fields())
        sql += QStringLiteral(", %1 TEXT COLLATE NOCASE").arg(QLatin1String(field.column));
    return sql + QLatin1Char(')');
}

QString listQuery()
{
    return QStringLiteral("select * from tblContact order by contactname");
}

QString namesQuery()
{
    return fieldQuery(Field::Name);
}

QString fieldQuery(Field field)
{
    return QStringLiteral("select %1, %2 from tblContact order by %1")
        .arg(QLatin1String(kIdColumn), QLatin1String(info(field).column));
}

QString reportQuery()
{
    return QStringLiteral("select * from tblContact");
}

QString keyRangeQuery()
{
    // Each in a query of its own: SQLite finds one of them at the end of the
    // key's tree, but both together only by reading every row.
    return QStringLiteral("select (select min(%1) from tblContact), (select max(%1) from tblContact)")
        .arg(QLatin1String(kIdColumn));
}

QString rowsInKeyRangeQuery()
{
    return QStringLiteral("select * from tblContact where %1 between ?1 and ?2").arg(QLatin1String(kIdColumn));
}

std::vector<KeyStretch> keyStretches(qint64 low, qint64 high, unsigned count)
{
    // In unsigned arithmetic, wide enough for the distance from the lowest
    // key to the highest: (distance + 1) * part / count, without the product
    // overflowing.
    const quint64 distance = static_cast<quint64>(high) - static_cast<quint64>(low);
    const auto boundary = [&](unsigned part) {
        const quint64 offset = distance / count * part + (distance % count + 1) * part / count;
        return static_cast<qint64>(static_cast<quint64>(low) + offset);
    };
    std::vector<KeyStretch> stretches;
    for (unsigned part = 0; part < count; ++part) {
        stretches.push_back({part == 0 ? std::numeric_limits<qint64>::min() : boundary(part),
                             part + 1 == count ? std::numeric_limits<qint64>::max() : boundary(part + 1) - 1});
    }
    return stretches;
}

QString literalText(const QString& value)
{
    QString text = value;
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    // A NUL would end the statement text where it stands; it goes in as an
    // expression joined to the literal around it, so the value stays whole.
    text.replace(QChar(u'\0'), QStringLiteral("'||char(0)||'"));
    return text;
}

QString searchQuery(const QString& text)
{
    const QString t = literalText(text);
    QString sql = QStringLiteral("select * from tblContact where ");
    for (const FieldInfo& field : fields()) {
        if (field.field != Field::Name)
            sql += QStringLiteral("%' or ");
        sql += QLatin1String(field.searchColumn) +
               (field.searchAnywhere ? QStringLiteral(" like '%") : QStringLiteral(" like '")) + t;
    }
    return sql + QStringLiteral("%' order by contactname");
}

QString insertStatement(const Contact& contact)
{
    QStringList columns;
    QStringList values;
    for (const FieldInfo& field : fields()) {
        columns << QLatin1String(field.column);
        values << literalText(contact[field.field]);
    }
    return QStringLiteral("insert into tblContact (") + columns.join(QLatin1Char(',')) + QStringLiteral(") values ('") +
           values.join(QStringLiteral("','")) + QStringLiteral("')");
}

QString insertParametersStatement()
{
    QStringList columns;
    QStringList parameters;
    for (const FieldInfo& field : fields()) {
        columns << QLatin1String(field.column);
        parameters << QStringLiteral("?%1").arg(indexOf(field.field) + 1);
    }
    return QStringLiteral("insert into tblContact (") + columns.join(QLatin1Char(',')) + QStringLiteral(") values (") +
           parameters.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString allContactsQuery()
{
    return QStringLiteral("select ") + columnNames().join(QLatin1Char(',')) +
           QStringLiteral(" from tblContact order by %1").arg(QLatin1String(kIdColumn));
}

QString updateStatement(const Contact& contact, const QString& id)
{
    FieldFlags all;
    all.fill(true);
    return updateStatement(contact, all, id);
}

QString updateStatement(const Contact& contact, const FieldFlags& changed, const QString& id)
{
    const QString checked = checkedId(id);
    QString sql;
    for (const FieldInfo& field : fields()) {
        if (!changed[static_cast<size_t>(indexOf(field.field))])
            continue;
        sql += sql.isEmpty() ? QStringLiteral("update tblContact set ") : QStringLiteral("',");
        sql += QLatin1String(field.column) + QStringLiteral("='") + literalText(contact[field.field]);
    }
    if (sql.isEmpty())
        return sql;
    return sql + QStringLiteral("' where contactid=") + checked;
}

QString rowQuery(const QString& id)
{
    return QStringLiteral("select * from tblContact where contactid=") + checkedId(id);
}

QString deleteStatement(const QString& id)
{
    return QStringLiteral("delete from tblContact where contactid=") + checkedId(id);
}

QString checkedId(const QString& id)
{
    bool whole = !id.isEmpty() && id.size() <= kMaxIdLength;
    for (qsizetype i = 0; whole && i < id.size(); ++i)
        whole = (id[i] >= QLatin1Char('0') && id[i] <= QLatin1Char('9')) || (i == 0 && id[i] == QLatin1Char('-'));
    qlonglong value = 0;
    if (whole)
        value = id.toLongLong(&whole);
    if (!whole)
        throw AppError(QStringLiteral("The contact ID \"%1\" is not a whole number.").arg(id.left(64)));
    return QString::number(value);
}

} // namespace contact
