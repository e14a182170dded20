#include "store/contacttable.h"

#include "app/apperror.h"

namespace contact {

namespace {

const char* const kColumns[] = {"ContactID", "ContactName", "DateOfBirth", "Mobile1", "Mobile2", "Work1",   "Work2",
                                "Fax1",      "Fax2",        "Home1",       "Home2",   "Email",   "Website", "Remark"};

const char kInsertPrefix[] = "insert into tblContact "
                             "(ContactName,DateOfBirth,Mobile1,Mobile2,Work1,Work2,Fax1,Fax2,Home1,Home2,"
                             "Email,Website,Remark) values ('";

// "-9223372036854775808": the longest text of a 64-bit integer.
const int kMaxIdLength = 20;

} // namespace

QStringList columnNames()
{
    QStringList names;
    for (const char* name : kColumns)
        names << QLatin1String(name);
    return names;
}

QString createTableStatement()
{
    QString sql = QStringLiteral("CREATE TABLE tblContact (ContactID INTEGER PRIMARY KEY AUTOINCREMENT");
    for (int i = 1; i <= kDataColumns; ++i)
        sql += QStringLiteral(", %1 TEXT COLLATE NOCASE").arg(QLatin1String(kColumns[i]));
    return sql + QLatin1Char(')');
}

QString listQuery()
{
    return QStringLiteral("select * from tblContact order by contactname");
}

QString reportQuery()
{
    return QStringLiteral("select * from tblContact");
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
    return QStringLiteral("select * from tblContact where contactname like '") + t +
           QStringLiteral("%' or DateOfBirth like '%") + t + QStringLiteral("%' or Mobile1 like '") + t +
           QStringLiteral("%' or Mobile2 like '") + t + QStringLiteral("%' or Work1 like '") + t +
           QStringLiteral("%' or Work2 like '") + t + QStringLiteral("%' or Fax1 like '") + t +
           QStringLiteral("%' or Fax2 like '") + t + QStringLiteral("%' or Home1 like '") + t +
           QStringLiteral("%' or Home2 like '") + t + QStringLiteral("%' or email like '") + t +
           QStringLiteral("%' or website like '%") + t + QStringLiteral("%' or remark like '%") + t +
           QStringLiteral("%' order by contactname");
}

QString insertStatement(const Values& values)
{
    QString sql = QLatin1String(kInsertPrefix);
    for (int i = 0; i < kDataColumns; ++i) {
        if (i > 0)
            sql += QStringLiteral("','");
        sql += literalText(values[static_cast<size_t>(i)]);
    }
    return sql + QStringLiteral("')");
}

QString updateStatement(const Values& values, const QString& id)
{
    std::array<bool, kDataColumns> all;
    all.fill(true);
    return updateStatement(values, all, id);
}

QString updateStatement(const Values& values, const std::array<bool, kDataColumns>& changed, const QString& id)
{
    const QString checked = checkedId(id);
    QString sql;
    for (int i = 0; i < kDataColumns; ++i) {
        if (!changed[static_cast<size_t>(i)])
            continue;
        sql += sql.isEmpty() ? QStringLiteral("update tblContact set ") : QStringLiteral("',");
        sql += QLatin1String(kColumns[i + 1]) + QStringLiteral("='") + literalText(values[static_cast<size_t>(i)]);
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
