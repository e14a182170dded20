#pragma once

#include "ui/main/contactrows.h"

struct Session;

// The list's cells that its rows do not hold, read from the data file through
// the session's connection.
class StoredRows : public ContactRows::Source {
public:
    explicit StoredRows(Session& session) : mSession(session) {}

    std::optional<ListRow> row(QByteArrayView id) override;
    // The rows with every column, read in one pass over the table; a row no
    // longer stored keeps what it held.
    std::vector<ListRow> whole(std::vector<ListRow> rows);
    void column(size_t column, const std::function<void(qint64 id, QByteArrayView text)>& take) override;

private:
    Session& mSession;
};
