#pragma once

#include <optional>
#include <vector>

#include <QString>

#include "model/listrow.h"
#include "store/likepattern.h"

class CaseFolding;
class Connection;
struct sqlite3_stmt;

// The search over every field, matched as the search statement words it
// (contact::searchQuery): the name, the phone numbers and the e-mail must
// begin with the text, the date, the website and the remarks must hold it,
// "%" and "_" acting as wildcards, letter case folded. The program reads and
// matches the rows itself: SQLite would call LIKE thirteen times a row, and
// the program can read a large table in parts at once.
class ContactSearch {
public:
    ContactSearch(const QString& text, const CaseFolding& folding);

    // Every stored contact that matches, whole, in key order. A large table
    // is read in parts of its key range at once, each on a read-only
    // connection of its own on a thread of its own.
    std::vector<ListRow> findAll(Connection& connection) const;

    // The current row of a "select *" statement: the ID, then every field in
    // table order. A NULL field matches nothing, as LIKE gives no answer for
    // it.
    bool matches(sqlite3_stmt* row) const;

private:
    // The matches among the rows of a "select *" statement.
    void findIn(sqlite3_stmt* rows, std::vector<ListRow>& found) const;
    // The matches with keys from low to high, read in parts at once; nothing
    // when a part saw another state of the file than the change counter
    // given.
    std::optional<std::vector<ListRow>> findInParts(const QByteArray& file, qint64 low, qint64 high, unsigned parts,
                                                    quint32 state) const;

    LikePattern mAtStart;
    LikePattern mAnywhere;
};
