#include "ui/main/storedrows.h"

#include <algorithm>

#include "store/connection.h"
#include "store/contacttable.h"
#include "store/recordset.h"
#include "store/session.h"

std::optional<ListRow> StoredRows::row(QByteArrayView id)
{
    Recordset recordset;
    recordset.open(contact::rowQuery(QString::fromLatin1(id)), mSession.connection());
    if (recordset.eof())
        return std::nullopt;
    ListRow::Builder row;
    for (size_t i = 0; i < ListRow::size(); ++i)
        row.add(recordset.fieldUtf8(static_cast<int>(i)));
    return row.take();
}

std::vector<ListRow> StoredRows::whole(std::vector<ListRow> rows)
{
    std::vector<std::pair<qint64, size_t>> wanted;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].complete())
            wanted.emplace_back(rows[i].utf8(0).toLongLong(), i);
    }
    if (wanted.empty())
        return rows;
    // The table comes in key order: matched by key in one pass.
    std::sort(wanted.begin(), wanted.end());
    Recordset recordset;
    recordset.open(contact::allContactsQuery(), mSession.connection());
    size_t next = 0;
    for (; !recordset.eof() && next < wanted.size(); recordset.moveNext()) {
        const qint64 id = recordset.fieldUtf8(0).toLongLong();
        while (next < wanted.size() && wanted[next].first < id)
            ++next;
        if (next == wanted.size() || wanted[next].first != id)
            continue;
        ListRow::Builder row;
        for (size_t c = 0; c < ListRow::size(); ++c)
            row.add(recordset.fieldUtf8(static_cast<int>(c)));
        const ListRow built = row.take();
        for (; next < wanted.size() && wanted[next].first == id; ++next)
            rows[wanted[next].second] = built;
    }
    return rows;
}

void StoredRows::column(size_t column, const std::function<void(qint64 id, QByteArrayView text)>& take)
{
    Recordset recordset;
    recordset.open(contact::fieldQuery(contact::fields()[column - 1].field), mSession.connection());
    for (; !recordset.eof(); recordset.moveNext())
        take(recordset.fieldUtf8(0).toLongLong(), recordset.fieldUtf8(1));
}
