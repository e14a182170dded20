#include "store/contactsearch.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <optional>
#include <thread>

#include <sqlite3.h>

#include <QFile>

#include "model/contact.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/readsnapshot.h"
#include "store/sqlitehandles.h"

namespace {

// Below this many rows one part reads faster than starting others.
const qint64 kRowsPerPart = 50000;
const unsigned kMostParts = 4;
// Parted reads that met a save in between before one statement reads all.
const int kPartedAttempts = 3;

LikePattern compiled(const QByteArray& pattern, const CaseFolding& folding)
{
    return LikePattern(pattern.constData(), static_cast<int>(pattern.size()), 0, folding);
}

QByteArrayView columnView(sqlite3_stmt* row, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(row, column)) : QByteArrayView();
}

} // namespace

ContactSearch::ContactSearch(const QString& text, const CaseFolding& folding)
    : mAtStart(compiled(text.toUtf8() + '%', folding)), mAnywhere(compiled('%' + text.toUtf8() + '%', folding))
{
}

bool ContactSearch::matches(sqlite3_stmt* row) const
{
    for (const contact::FieldInfo& field : contact::fields()) {
        const QByteArrayView value = columnView(row, 1 + contact::indexOf(field.field));
        if (value.isNull())
            continue;
        const LikePattern& pattern = field.searchAnywhere ? mAnywhere : mAtStart;
        if (pattern.matches(value.data(), static_cast<int>(value.size())))
            return true;
    }
    return false;
}

void ContactSearch::findIn(sqlite3_stmt* rows, std::vector<ListRow>& found) const
{
    sqlite3* db = sqlite3_db_handle(rows);
    while (check(sqlite3_step(rows), db) == SQLITE_ROW) {
        if (!matches(rows))
            continue;
        ListRow::Builder row;
        for (size_t c = 0; c < ListRow::size(); ++c)
            row.add(columnView(rows, static_cast<int>(c)));
        found.push_back(row.take());
    }
}

std::vector<ListRow> ContactSearch::findAll(Connection& connection) const
{
    sqlite3* db = connection.handle();
    // Each part reads in a state of its own. The parts are put together only
    // when they all read the state the key range came from; otherwise another
    // copy saved in between, and they are read again. Holding the first read
    // lock until every part has taken its own would make such a copy's save
    // wait, and time out, behind this search.
    for (int attempt = 0; attempt < kPartedAttempts; ++attempt) {
        qint64 low = 0;
        qint64 high = -1;
        quint32 state = 0;
        {
            const ReadSnapshot snapshot(db);
            state = snapshot.changeCounter();
            const StatementHandle range = prepareOne(db, contact::keyRangeQuery());
            if (check(sqlite3_step(range.get()), db) == SQLITE_ROW &&
                sqlite3_column_type(range.get(), 0) != SQLITE_NULL) {
                low = sqlite3_column_int64(range.get(), 0);
                high = sqlite3_column_int64(range.get(), 1);
            }
        }
        const unsigned cores = std::max(1u, std::min(kMostParts, std::thread::hardware_concurrency()));
        // Keys are mostly dense: the key range stands for the number of rows.
        const double span = static_cast<double>(high) - static_cast<double>(low) + 1;
        const auto parts = static_cast<unsigned>(std::clamp(span / kRowsPerPart, 1.0, static_cast<double>(cores)));
        if (parts == 1 || connection.path().isEmpty())
            break;
        std::optional<std::vector<ListRow>> found =
            findInParts(QFile::encodeName(connection.path()), low, high, parts, state);
        if (found)
            return std::move(*found);
    }
    // One statement reads one state.
    std::vector<ListRow> found;
    const StatementHandle all = prepareOne(db, contact::allContactsQuery());
    findIn(all.get(), found);
    return found;
}

std::optional<std::vector<ListRow>> ContactSearch::findInParts(const QByteArray& file, qint64 low, qint64 high,
                                                               unsigned parts, quint32 state) const
{
    std::vector<std::vector<ListRow>> partial(parts);
    std::vector<std::exception_ptr> failures(parts);
    std::vector<quint32> states(parts, state);
    std::vector<std::thread> workers;
    const std::vector<contact::KeyStretch> stretches = contact::keyStretches(low, high, parts);
    for (unsigned part = 0; part < parts; ++part) {
        const qint64 from = stretches[part].from;
        const qint64 to = stretches[part].to;
        workers.emplace_back([&, part, from, to] {
            try {
                const DatabaseHandle reader = openHandle(file, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
                const ReadSnapshot snapshot(reader.get());
                states[part] = snapshot.changeCounter();
                const StatementHandle rows = prepareOne(reader.get(), contact::rowsInKeyRangeQuery());
                sqlite3_bind_int64(rows.get(), 1, from);
                sqlite3_bind_int64(rows.get(), 2, to);
                findIn(rows.get(), partial[part]);
            } catch (...) {
                failures[part] = std::current_exception();
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
    if (std::any_of(states.begin(), states.end(), [&](quint32 seen) { return seen != state; }))
        return std::nullopt;
    std::vector<ListRow> found;
    for (std::vector<ListRow>& rows : partial)
        found.insert(found.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    return found;
}
