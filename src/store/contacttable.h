#pragma once

#include <vector>

#include <QString>
#include <QStringList>

#include "model/contact.h"

// The layout of tblContact and every statement text run against it, built
// from the field table. The builders are pure: values in, text out.
namespace contact {

// ContactID then every field's column, in their binding order.
QStringList columnNames();

QString createTableStatement();

QString listQuery();
// What the list holds of every contact before a cell is shown: the key and
// the name, in key order.
QString namesQuery();
// The key and one field of every contact, in key order. Said outright: with
// an index over that column, which other tools may add, SQLite would read
// the index and hand the rows over in its order.
QString fieldQuery(Field field);
QString reportQuery();
// The lowest and the highest key: one row of two values, NULL for none.
QString keyRangeQuery();
// Every row whose key lies between the parameters ?1 and ?2, both included.
QString rowsInKeyRangeQuery();
// The keys from low to high cut into that many stretches of about equal
// width, in key order, for reading a part each. Keys may lie anywhere in 64
// bits; the first and the last stretch reach to the ends of what a key can
// hold, so that no row falls outside them.
struct KeyStretch {
    qint64 from;
    qint64 to;
};
std::vector<KeyStretch> keyStretches(qint64 low, qint64 high, unsigned count);
QString searchQuery(const QString& text);
QString insertStatement(const Contact& contact);
QString updateStatement(const Contact& contact, const QString& id);
// The same statement for only the fields marked, in table order; empty text
// when none is.
QString updateStatement(const Contact& contact, const FieldFlags& changed, const QString& id);
QString deleteStatement(const QString& id);
// The one row of that ID.
QString rowQuery(const QString& id);

// Every field's column, in table order, given as the parameters ?1, ?2, ...:
// the one statement a whole file's contacts are inserted with.
QString insertParametersStatement();
// The key and every field of every contact, in key order: the columns of
// "select *".
QString allContactsQuery();

// A value as it stands between the quotes of a literal: every apostrophe
// doubled, so that no value can end its literal early, and a NUL joined in
// as char(0).
QString literalText(const QString& value);

// The ID of an update or delete goes into the statement without quotes, so it
// has to be a whole number that SQLite's integer key can hold (negative ones
// included: other programs may write them); anything else is refused before a
// statement runs.
QString checkedId(const QString& id);

} // namespace contact
