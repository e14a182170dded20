#pragma once

#include <array>

#include <QString>
#include <QStringList>

// The layout of tblContact and every statement text run against it. The
// builders are pure: values in, text out.
namespace contact {

inline constexpr int kDataColumns = 13;

// The thirteen data columns in table order, after ContactID.
using Values = std::array<QString, kDataColumns>;

// ContactID then the thirteen data columns, in their binding order.
QStringList columnNames();

QString createTableStatement();

QString listQuery();
QString reportQuery();
QString searchQuery(const QString& text);
QString insertStatement(const Values& values);
QString updateStatement(const Values& values, const QString& id);
// The same statement for only the columns marked changed, in table order;
// empty text when none is.
QString updateStatement(const Values& values, const std::array<bool, kDataColumns>& changed, const QString& id);
// The one row of that ID.
QString rowQuery(const QString& id);
QString deleteStatement(const QString& id);

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
