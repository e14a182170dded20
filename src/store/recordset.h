#pragma once

#include <QByteArrayView>
#include <QString>

#include "store/sqlitehandles.h"

class Connection;

// A read-only, forward pass over the rows of one query. While it is open the
// connection holds a shared lock on the file, so the rows it delivers are one
// consistent snapshot.
class Recordset {
public:
    Recordset() = default;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;
    Recordset(Recordset&&) = default;
    Recordset& operator=(Recordset&&) = default;

    void open(const QString& sql, Connection& connection);
    // The form the list's fill and the report's numbered steps open it in:
    // cursorType 3 (static) and lockType 1 (read-only), the only kinds there are.
    void open(const QString& sql, Connection& connection, int cursorType, int lockType);
    bool eof() const;
    int fieldCount() const;
    // A null value reads as empty text.
    QString field(int position) const;
    // The same value as UTF-8, valid until the next moveNext or close.
    QByteArrayView fieldUtf8(int position) const;
    void moveNext();
    // 0 closed, 1 open, as the list's fill asks it.
    int state() const { return mStatement ? 1 : 0; }
    void close();

private:
    void requireOpen() const;
    void requireRow() const;

    sqlite3* mDb = nullptr;
    StatementHandle mStatement;
    bool mEof = true;
};
