#pragma once

#include <QByteArrayView>
#include <QString>

#include "store/sqlitehandles.h"

class Connection;

// One prepared statement: binds, steps and reads, and is finalised by its
// destructor. What lies above the store reaches SQLite only through this and
// WriteTransaction. Every failure throws AppError with SQLite's own text.
class Statement {
public:
    Statement(Connection& connection, const QString& sql);
    Statement(Statement&&) noexcept = default;
    Statement& operator=(Statement&&) noexcept = default;

    // The text must stay valid until the statement has stepped.
    void bindText(int position, QByteArrayView utf8);
    void bindInt64(int position, qint64 value);
    void bindNull(int position);
    // Runs the statement to its next row; false when it is done.
    bool step();
    // Ready to run again; bindings stay.
    void reset();

    // The current row's column as UTF-8, valid until the next step; a NULL
    // reads as a null view.
    QByteArrayView text(int column) const;
    qint64 int64(int column) const;
    bool isNull(int column) const;

private:
    sqlite3* mDb = nullptr;
    StatementHandle mHandle;
};
