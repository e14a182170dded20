// The statement builders run against a real table, and the ICU text rules
// they rely on checked against ICU itself and against a plain matcher.
#include "fuzztargets.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include <sqlite3.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "base/apperror.h"
#include "fuzzinput.h"
#include "model/listrow.h"
#include "store/casefolding.h"
#include "store/connection.h"
#include "store/contactsearch.h"
#include "store/contacttable.h"
#include "store/likepattern.h"
#include "store/recordset.h"
#include "store/sqlitehandles.h"
#include "store/textrules.h"
#include "support/sqllike.h"
#include "ui/main/contactrows.h"

namespace fuzz {

namespace {

// Rows that give the searches and the order something to sort among: both
// letter cases, accents, other alphabets, an expansion (ß) and a case pair
// that folds to two letters (ǅ).
const char* const kFixedNames[] = {"anna",
                                   "Bob",
                                   "\xc3\xa9mile",
                                   "\xc3\x89MILE",
                                   "Zed",
                                   "\xd0\xaf\xd0\xba\xd0\xbe\xd0\xb2",
                                   "stra\xc3\x9f\x65",
                                   "STRASSE",
                                   "\xc7\x85",
                                   "o'neil",
                                   "100%",
                                   "a_b"};

// Escape characters the LIKE checks try: none, the usual ones, the two
// wildcards themselves, a two-byte and a four-byte character.
const char32_t kEscapes[] = {0, U'\\', U'!', U'%', U'_', U'\u00e9', U'\U0001F600', U'#'};

using Cells = std::array<QByteArray, contact::kFieldCount + 1>;
using contact::Field;

int sign(int v)
{
    return (v > 0) - (v < 0);
}

std::string describe(const Contact& values)
{
    std::string out;
    for (const QString& v : values)
        out += shown(v) + ' ';
    return out;
}

// Every row by its ID, read with plain SQLite rather than the program's
// recordset, so a fault in one cannot hide a fault in the other.
std::map<qint64, Cells> snapshot(sqlite3* db)
{
    std::map<qint64, Cells> rows;
    sqlite3_stmt* raw = nullptr;
    check(sqlite3_prepare_v2(db, "select * from tblContact", -1, &raw, nullptr), db);
    StatementHandle statement(raw);
    while (check(sqlite3_step(raw), db) == SQLITE_ROW) {
        Cells cells;
        for (int i = 0; i <= contact::kFieldCount; ++i)
            cells[static_cast<size_t>(i)] =
                QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(raw, i)), sqlite3_column_bytes(raw, i));
        rows[sqlite3_column_int64(raw, 0)] = cells;
    }
    return rows;
}

QByteArray schemaOf(sqlite3* db)
{
    sqlite3_stmt* raw = nullptr;
    check(sqlite3_prepare_v2(db, "select type, name, sql from sqlite_master order by name", -1, &raw, nullptr), db);
    StatementHandle statement(raw);
    QByteArray schema;
    while (check(sqlite3_step(raw), db) == SQLITE_ROW) {
        for (int i = 0; i < 3; ++i)
            schema += QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(raw, i))) + '\x1f';
    }
    return schema;
}

// The IDs a query returns, in order, and the name column beside each.
struct Found {
    std::vector<qint64> ids;
    std::vector<QByteArray> names;
};

Found runQuery(Connection& connection, const QString& sql)
{
    Found found;
    Recordset recordset;
    recordset.open(sql, connection);
    while (!recordset.eof()) {
        found.ids.push_back(recordset.field(0).toLongLong());
        found.names.push_back(recordset.fieldUtf8(1).toByteArray());
        recordset.moveNext();
    }
    recordset.close();
    return found;
}

// The list puts the rows a query delivers in its own name order.
void requireNameOrder(const Found& found, const char* query)
{
    std::vector<ListRow> rows;
    for (const QByteArray& name : found.names) {
        ListRow::Builder row;
        row.add("");
        row.add(name);
        rows.push_back(row.take());
    }
    ContactRows model;
    model.setRowsInNameOrder(std::move(rows));
    require(model.rowCount() == static_cast<int>(found.names.size()), "the list lost rows", query);
    for (int i = 1; i < model.rowCount(); ++i) {
        const QByteArray a = model.row(i - 1).utf8(1).toByteArray();
        const QByteArray b = model.row(i).utf8(1).toByteArray();
        require(compareNoCase(a.constData(), static_cast<int>(a.size()), b.constData(), static_cast<int>(b.size())) <=
                    0,
                "rows out of NOCASE order", std::string(query) + ": " + shown(a) + " before " + shown(b));
    }
}

void requireRowIs(const std::map<qint64, Cells>& rows, qint64 id, const Contact& values, const char* after)
{
    const auto row = rows.find(id);
    require(row != rows.end(), "the row is missing", after);
    for (const contact::FieldInfo& field : contact::fields()) {
        const int i = contact::indexOf(field.field);
        const QByteArray expected = values[field.field].toUtf8();
        const QByteArray& stored = row->second[static_cast<size_t>(i) + 1];
        require(stored == expected, "a value did not come back as saved",
                std::string(after) + ", column " + std::to_string(i + 1) + ": saved " + shown(expected) + ", read " +
                    shown(stored));
    }
}

// Every row except the one with ID except is as it was.
void requireOthersUnchanged(const std::map<qint64, Cells>& before, const std::map<qint64, Cells>& after, qint64 except,
                            const char* what)
{
    for (const auto& [id, cells] : before) {
        if (id == except)
            continue;
        const auto now = after.find(id);
        require(now != after.end() && now->second == cells, "a statement touched another row",
                std::string(what) + " changed row " + std::to_string(id));
    }
    for (const auto& entry : after)
        require(entry.first == except || before.count(entry.first) == 1, "a statement added a row", what);
}

// The ID text of an update or delete is a whole number that fits SQLite's
// integer, negative ones included; anything else has to be refused before a
// statement is built.
bool wholeNumber(const QString& id)
{
    const QString digits = id.startsWith(u'-') ? id.mid(1) : id;
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    // Past 19 digits nothing fits; up to there, compare with the bounds as text.
    const QString bound =
        id.startsWith(u'-') ? QStringLiteral("9223372036854775808") : QStringLiteral("9223372036854775807");
    QString trimmed = digits;
    while (trimmed.size() > 1 && trimmed.startsWith(u'0'))
        trimmed.remove(0, 1);
    return trimmed.size() < bound.size() || (trimmed.size() == bound.size() && trimmed <= bound);
}

// NOCASE as ICU itself gives it: the root order at secondary strength.
int icuCompare(const QByteArray& a, const QByteArray& b)
{
    struct Closer {
        void operator()(UCollator* c) const { ucol_close(c); }
    };
    static const std::unique_ptr<UCollator, Closer> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCollator, Closer> c(ucol_open("", &status));
        ucol_setStrength(c.get(), UCOL_SECONDARY);
        return c;
    }();
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(collator.get(), a.constData(), static_cast<int32_t>(a.size()),
                                                b.constData(), static_cast<int32_t>(b.size()), &status);
    require(U_SUCCESS(status), "ICU could not compare", shown(a) + " " + shown(b));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

int noCase(const QByteArray& a, const QByteArray& b)
{
    return compareNoCase(a.constData(), static_cast<int>(a.size()), b.constData(), static_cast<int>(b.size()));
}

void checkCollation(const QByteArray& a, const QByteArray& b, const QByteArray& c)
{
    const int ab = noCase(a, b);
    const int ba = noCase(b, a);
    require(sign(ab) == -sign(ba), "NOCASE is not antisymmetric", shown(a) + " " + shown(b));
    require(sign(ab) == icuCompare(a, b), "NOCASE disagrees with ICU", shown(a) + " " + shown(b));
    require(noCase(a, a) == 0, "NOCASE: a text differs from itself", shown(a));
    const int bc = noCase(b, c);
    const int ac = noCase(a, c);
    require(sign(bc) == icuCompare(b, c), "NOCASE disagrees with ICU", shown(b) + " " + shown(c));
    if (ab <= 0 && bc <= 0)
        require(ac <= 0, "NOCASE is not transitive", shown(a) + " " + shown(b) + " " + shown(c));
    if (ab >= 0 && bc >= 0)
        require(ac >= 0, "NOCASE is not transitive", shown(a) + " " + shown(b) + " " + shown(c));
}

std::vector<UChar32> codePoints(const QByteArray& bytes)
{
    std::vector<UChar32> out;
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.constData());
    const auto size = static_cast<int32_t>(bytes.size());
    for (int32_t i = 0; i < size;) {
        UChar32 c;
        U8_NEXT(s, i, size, c);
        out.push_back(c < 0 ? 0xfffd : c);
    }
    return out;
}

// The full case folding of one character, straight from ICU's string API.
std::vector<UChar32> folded(UChar32 c)
{
    UChar source[2];
    int32_t length = 0;
    U16_APPEND_UNSAFE(source, length, c);
    UChar out[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t outLength = u_strFoldCase(out, 8, source, length, U_FOLD_CASE_DEFAULT, &status);
    std::vector<UChar32> result;
    for (int32_t i = 0; U_SUCCESS(status) && i < outLength;) {
        UChar32 f;
        U16_NEXT(out, i, outLength, f);
        result.push_back(f);
    }
    return result;
}

// LIKE by the book: a table over pattern and text positions, no shortcuts.
// "_" is one character of the folded text, "%" any run, the escape makes the
// next character literal, letters compare by their full case folding.
bool referenceLike(const QByteArray& patternBytes, const QByteArray& textBytes, char32_t escape)
{
    enum Kind { Char, One, Any };
    struct Item {
        Kind kind;
        UChar32 c;
    };
    const std::vector<UChar32> p = codePoints(patternBytes);
    std::vector<UChar32> t;
    for (const UChar32 c : codePoints(textBytes)) {
        const std::vector<UChar32> f = folded(c);
        t.insert(t.end(), f.begin(), f.end());
    }
    std::vector<Item> items;
    const auto literal = [&items](UChar32 c) {
        for (const UChar32 f : folded(c))
            items.push_back({Char, f});
    };
    for (size_t i = 0; i < p.size(); ++i) {
        if (escape != 0 && static_cast<char32_t>(p[i]) == escape && i + 1 < p.size())
            literal(p[++i]);
        else if (p[i] == '%')
            items.push_back({Any, 0});
        else if (p[i] == '_')
            items.push_back({One, 0});
        else
            literal(p[i]);
    }
    // matches[j]: the items so far match the first j characters of the text.
    std::vector<char> matches(t.size() + 1, 0);
    std::vector<char> next(t.size() + 1, 0);
    matches[0] = 1;
    for (const Item& item : items) {
        for (size_t j = 0; j <= t.size(); ++j) {
            next[j] = 0;
            if (item.kind == Any)
                next[j] = matches[j] || (j > 0 && next[j - 1]);
            else if (j > 0 && matches[j - 1])
                next[j] = item.kind == One || item.c == t[j - 1];
        }
        matches.swap(next);
    }
    return matches[t.size()] != 0;
}

QByteArray utf8Of(char32_t c)
{
    return QString::fromUcs4(&c, 1).toUtf8();
}

// The LIKE that SQL runs is the program's pattern matching, registered, for a
// single pair and over a column, where the compiled pattern is reused row by
// row.
void checkLike(Connection& connection, const QByteArray& pattern, const QByteArray& text, char32_t escape)
{
    const auto likes = [](const QByteArray& p, const QByteArray& t, char32_t e) {
        return likeMatches(p.constData(), static_cast<int>(p.size()), t.constData(), static_cast<int>(t.size()), e,
                           CaseFolding::standard());
    };
    const bool result = likes(pattern, text, escape);
    const std::string pair = shown(pattern) + " " + shown(text) + " escape " + std::to_string(escape);
    // The table grows with both lengths; past a million cells the fuzzer would
    // spend its time here instead of finding new paths.
    if (static_cast<double>(pattern.size() + 1) * static_cast<double>(text.size() + 1) < 1e6)
        require(result == referenceLike(pattern, text, escape), "LIKE disagrees with the reference matcher", pair);
    // Each of the matcher's ways gives the answer all of them give together.
    const LikePattern compiled(pattern.constData(), static_cast<int>(pattern.size()), escape, CaseFolding::standard());
    for (const LikePattern::Way way : {LikePattern::Way::Streaming, LikePattern::Way::Folded})
        require(compiled.matchesFrom(way, text.constData(), static_cast<int>(text.size())) == result,
                "LikePattern's ways to an answer disagree", pair + " from way " + std::to_string(static_cast<int>(way)));
    require(likes(text, text, 0), "a text does not match itself as a LIKE pattern", shown(text));
    require(likes("%", text, 0), "\"%\" does not match everything", shown(text));

    sqlite3* db = connection.handle();
    sqlite3_stmt* raw = nullptr;
    const char* sql = escape == 0 ? "select like(?1, ?2)" : "select like(?1, ?2, ?3)";
    check(sqlite3_prepare_v2(db, sql, -1, &raw, nullptr), db);
    StatementHandle statement(raw);
    const QByteArray escapeText = utf8Of(escape);
    sqlite3_bind_text(raw, 1, pattern.constData(), static_cast<int>(pattern.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(raw, 2, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    if (escape != 0)
        sqlite3_bind_text(raw, 3, escapeText.constData(), static_cast<int>(escapeText.size()), SQLITE_TRANSIENT);
    require(check(sqlite3_step(raw), db) == SQLITE_ROW, "like() gave no row", pair);
    require((sqlite3_column_int(raw, 0) != 0) == result, "SQL's LIKE disagrees with likeMatches", pair);

    raw = nullptr;
    check(sqlite3_prepare_v2(db, "select ContactID, ContactName from tblContact where ContactName like ?1", -1, &raw,
                             nullptr),
          db);
    StatementHandle overRows(raw);
    sqlite3_bind_text(raw, 1, pattern.constData(), static_cast<int>(pattern.size()), SQLITE_TRANSIENT);
    std::vector<qint64> selected;
    while (check(sqlite3_step(raw), db) == SQLITE_ROW)
        selected.push_back(sqlite3_column_int64(raw, 0));
    std::vector<qint64> expected;
    for (const auto& [id, cells] : snapshot(db)) {
        if (likes(pattern, cells[1], 0))
            expected.push_back(id);
    }
    std::sort(selected.begin(), selected.end());
    require(selected == expected, "LIKE over the rows disagrees with likeMatches", shown(pattern));
}

} // namespace

void statements(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t mode = input.byte();
    const bool utf16 = (mode & 1) != 0;
    const char32_t escape = kEscapes[(mode >> 1) % std::size(kEscapes)];
    const QList<QByteArray> parts = input.parts();

    Contact values;
    for (const contact::FieldInfo& field : contact::fields()) {
        const int i = contact::indexOf(field.field);
        values[field.field] = i < parts.size() ? decodeText(parts[i], utf16) : QString();
    }

    Connection connection;
    connection.openMemory();
    // The search statement then finds what the window's search matches with.
    registerUnicodeLike(connection.handle(), CaseFolding::forUserLocale());
    connection.execute(contact::createTableStatement());
    sqlite3* db = connection.handle();
    for (const char* name : kFixedNames) {
        Contact fixed;
        fixed[Field::Name] = QString::fromUtf8(name);
        fixed[Field::Remark] = QStringLiteral("fixed row");
        connection.execute(contact::insertStatement(fixed));
    }
    const QByteArray schema = schemaOf(db);

    // No search text makes the query fail, whatever is in the table.
    try {
        requireNameOrder(runQuery(connection, contact::searchQuery(values[Field::Name])), "search");
    } catch (const AppError& e) {
        require(false, "a search failed", e.what() + std::string(" for ") + shown(values[Field::Name]));
    }

    // An insert of any text a user can type or paste saves that text: NULs,
    // lone surrogates and statement tails included.
    qint64 id = -1;
    {
        const auto before = snapshot(db);
        try {
            connection.execute(contact::insertStatement(values));
            id = sqlite3_last_insert_rowid(db);
        } catch (const AppError& e) {
            require(false, "an insert failed", e.what() + std::string(" for ") + describe(values));
        }
        require(schemaOf(db) == schema, "an insert changed the schema", describe(values));
        const auto after = snapshot(db);
        requireOthersUnchanged(before, after, id, "the insert");
        if (id >= 0)
            requireRowIs(after, id, values, "insert");
    }

    if (id >= 0) {
        // Whatever a contact holds, a search for any one of its values finds
        // it: the search statement as SQLite runs it, and the search the
        // window runs, which reads and matches the rows itself.
        for (const contact::FieldInfo& field : contact::fields()) {
            const QString& value = values[field.field];
            Found found;
            std::vector<ListRow> matched;
            try {
                found = runQuery(connection, contact::searchQuery(value));
                matched = ContactSearch(value, CaseFolding::forUserLocale()).findAll(connection);
            } catch (const AppError& e) {
                require(false, "a search failed", e.what() + std::string(" for ") + shown(value));
            }
            const std::string where = std::string("column ") + field.column + ", " + shown(value);
            require(std::find(found.ids.begin(), found.ids.end(), id) != found.ids.end(),
                    "a search for a saved value does not find its contact", where);
            // And the window's search finds the very rows the statement finds.
            std::vector<qint64> matchedIds;
            for (const ListRow& row : matched)
                matchedIds.push_back(row.utf8(0).toLongLong());
            std::vector<qint64> foundIds(found.ids.begin(), found.ids.end());
            std::sort(matchedIds.begin(), matchedIds.end());
            std::sort(foundIds.begin(), foundIds.end());
            require(matchedIds == foundIds, "the window's search and the statement find different contacts", where);
            requireNameOrder(found, "search");
        }

        // Every field takes the next one's value.
        Contact rotated;
        const auto& all = contact::fields();
        for (size_t i = 0; i < all.size(); ++i)
            rotated[all[i].field] = values[all[(i + 1) % all.size()].field];
        const auto before = snapshot(db);
        connection.execute(contact::updateStatement(rotated, QString::number(id)));
        require(schemaOf(db) == schema, "an update changed the schema", describe(rotated));
        const auto after = snapshot(db);
        requireOthersUnchanged(before, after, id, "the update");
        requireRowIs(after, id, rotated, "update");
    }

    // An ID from the input: refused unless it is a whole number, and then
    // touching at most the one row with that number.
    const QString idText = parts.size() > contact::kFieldCount ? decodeText(parts.last(), utf16) : values[Field::Name];
    {
        const auto before = snapshot(db);
        QString update;
        try {
            update = contact::updateStatement(values, idText);
        } catch (const AppError&) {
        }
        require(update.isEmpty() != wholeNumber(idText), "the ID check of an update is wrong", shown(idText));
        if (!update.isEmpty()) {
            const qint64 target = idText.toLongLong();
            try {
                connection.execute(update);
            } catch (const AppError& e) {
                require(false, "an update failed", e.what() + std::string(" for ") + describe(values));
            }
            const auto after = snapshot(db);
            requireOthersUnchanged(before, after, target, "an update by ID");
            if (before.count(target) == 1)
                requireRowIs(after, target, values, "update by ID");
        }
    }
    {
        const auto before = snapshot(db);
        QString remove;
        try {
            remove = contact::deleteStatement(idText);
        } catch (const AppError&) {
        }
        require(remove.isEmpty() != wholeNumber(idText), "the ID check of a delete is wrong", shown(idText));
        if (!remove.isEmpty()) {
            const qint64 target = idText.toLongLong();
            connection.execute(remove);
            const auto after = snapshot(db);
            requireOthersUnchanged(before, after, target, "a delete");
            require(after.count(target) == 0, "a delete left its row", shown(idText));
        }
    }
    require(schemaOf(db) == schema, "the schema changed", describe(values));

    {
        const Found all = runQuery(connection, contact::listQuery());
        require(all.ids.size() == snapshot(db).size(), "the list query lost rows");
        requireNameOrder(all, "list");
    }

    const QByteArray a = parts.value(0);
    const QByteArray b = parts.value(1);
    const QByteArray c = parts.value(2);
    checkCollation(a, b, c);
    checkLike(connection, a, b, escape);
    checkLike(connection, b, a, 0);

    Recordset integrity;
    integrity.open(QStringLiteral("PRAGMA integrity_check"), connection);
    require(!integrity.eof() && integrity.field(0) == QLatin1String("ok"), "the database is damaged");
}

} // namespace fuzz
