// vCard import and export against the plain work underneath them: importing
// 10,000 cards into a fresh data file against inserting the same rows (the
// fields, and the cards kept beside them) with prepared statements in one
// transaction, and exporting 100,000 contacts
// against writing the same text with stdio. The cards carry addresses and
// organizations, as real ones do, so the kept cards are part of the work.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "exchange/vcardexport.h"
#include "exchange/vcardimport.h"
#include "store/connection.h"
#include "support/contactgen.h"

namespace {

const int kImported = 10000;
const int kExported = 100000;

QTemporaryDir& scratch()
{
    static QTemporaryDir folder;
    return folder;
}

QString scratchFile(const char* name)
{
    return scratch().path() + QLatin1Char('/') + QLatin1String(name);
}

// A fresh copy of the template the build made, as a new user's data file.
QString freshDataFile()
{
    const QString file = scratchFile("fresh.mdb");
    QFile::remove(file);
    QFile::remove(file + QStringLiteral("-journal"));
    QFile::copy(QStringLiteral(RONDEXA_BUILD_DIR "/dbContacts.mdb"), file);
    QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return file;
}

// Cards as phones and servers write them: beside the fields, an address, an
// organization and a UID, which the import keeps and the export merges back.
QByteArray withAddresses(const QByteArray& cards)
{
    QByteArray out;
    out.reserve(cards.size() * 2);
    int card = 0;
    for (const QByteArray& line : cards.split('\n')) {
        if (line.startsWith("END:VCARD")) {
            ++card;
            out += "ADR;TYPE=home:;;" + QByteArray::number(card) + " Kastanienallee;Berlin;;10435;Germany\r\n";
            out += "ORG:Bakery " + QByteArray::number(card % 97) + ";Sales\r\n";
            out += "UID:urn:uuid:6f1c0e0a-0000-4000-8000-" + QByteArray::number(card).rightJustified(12, '0') + "\r\n";
        }
        if (!line.isEmpty())
            out += line + '\n';
    }
    return out;
}

// A data file of that many generated contacts that came from cards with
// addresses, made once.
QString contactsFromCards(int count)
{
    const QString file = scratchFile("fromcards.mdb");
    if (QFile::exists(file))
        return file;
    const QString cards = scratchFile("fromcards.vcf");
    QFile out(cards);
    out.open(QIODevice::WriteOnly);
    out.write(withAddresses(vcardText(generateContacts(count), VCardVersion::V40)));
    out.close();
    QFile::copy(freshDataFile(), file);
    Connection connection;
    connection.open(connectionStringFor(file));
    importVCardFile(connection, cards);
    return file;
}

// The file to import, and the rows an import of it stores, as UTF-8: each
// contact's fields, and its UID and card beside them.
struct ImportData {
    QString file;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::vector<std::string>> kept;
};

std::vector<std::vector<std::string>> readRows(sqlite3* db, const char* sql, int firstColumn, int columns)
{
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int column = firstColumn; column < firstColumn + columns; ++column) {
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            row.emplace_back(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(statement, column)));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    return rows;
}

const ImportData& importData()
{
    static const ImportData data = [] {
        ImportData made;
        made.file = scratchFile("contacts.vcf");
        const std::vector<Contact> contacts = generateContacts(kImported);
        QFile out(made.file);
        out.open(QIODevice::WriteOnly);
        out.write(withAddresses(vcardText(contacts, VCardVersion::V40)));
        out.close();
        // The rows as the import stores them, read back from an import.
        Connection connection;
        connection.open(connectionStringFor(freshDataFile()));
        importVCardFile(connection, made.file);
        made.rows =
            readRows(connection.handle(), "select * from tblContact order by ContactID", 1, contact::kFieldCount);
        made.kept =
            readRows(connection.handle(), "select Uid, Card, Fields from tblContactCard order by ContactID", 0, 3);
        return made;
    }();
    return data;
}

void BM_ImportVCards(benchmark::State& state)
{
    const ImportData& data = importData();
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Connection connection;
        connection.open(connectionStringFor(freshDataFile()));
        state.ResumeTiming();
        const VCardImportResult result = importVCardFile(connection, data.file);
        added = result.added;
        state.PauseTiming();
        connection.close();
        state.ResumeTiming();
    }
    if (added != kImported)
        state.SkipWithError("the import did not add every card");
    state.counters["added"] = added;
}
BENCHMARK(BM_ImportVCards)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(9)->UseRealTime();

void BM_PlainInsertRows(benchmark::State& state)
{
    const ImportData& data = importData();
    QByteArray sql = "insert into tblContact (";
    for (const contact::FieldInfo& field : contact::fields())
        sql += QByteArray(field.column) + (field.field == contact::Field::Remark ? ")" : ",");
    sql += " values (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13)";
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = nullptr;
        sqlite3_open_v2(QFile::encodeName(freshDataFile()).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        // The settings the program's connection works with.
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        state.ResumeTiming();
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
        for (const std::vector<std::string>& row : data.rows) {
            for (int column = 0; column < contact::kFieldCount; ++column) {
                const std::string& text = row[static_cast<size_t>(column)];
                sqlite3_bind_text(statement, column + 1, text.c_str(), static_cast<int>(text.size()), SQLITE_STATIC);
            }
            if (sqlite3_step(statement) != SQLITE_DONE)
                state.SkipWithError("a plain insert failed");
            sqlite3_reset(statement);
        }
        sqlite3_finalize(statement);
        // The cards beside them, in a table of their own, as the import keeps them.
        sqlite3_exec(db,
                     "CREATE TABLE tblContactCard (ContactID INTEGER PRIMARY KEY, Uid TEXT, Card TEXT, Fields INTEGER)",
                     nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db, "insert into tblContactCard values (?1,?2,?3,?4)", -1, &statement, nullptr);
        sqlite3_int64 id = 0;
        for (const std::vector<std::string>& kept : data.kept) {
            sqlite3_bind_int64(statement, 1, ++id);
            sqlite3_bind_text(statement, 2, kept[0].c_str(), static_cast<int>(kept[0].size()), SQLITE_STATIC);
            sqlite3_bind_text(statement, 3, kept[1].c_str(), static_cast<int>(kept[1].size()), SQLITE_STATIC);
            sqlite3_bind_int64(statement, 4, std::stoll(kept[2]));
            if (sqlite3_step(statement) != SQLITE_DONE)
                state.SkipWithError("a plain insert of a card failed");
            sqlite3_reset(statement);
        }
        sqlite3_finalize(statement);
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            state.SkipWithError("the plain commit failed");
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.counters["added"] = static_cast<double>(data.rows.size());
}
BENCHMARK(BM_PlainInsertRows)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(9)->UseRealTime();

// The text an export of the generated data file writes, line by line.
const std::vector<std::string>& exportedLines()
{
    static const std::vector<std::string> lines = [] {
        Connection connection;
        connection.open(connectionStringFor(contactsFromCards(kExported)));
        const QString file = scratchFile("reference.vcf");
        exportAllVCards(connection, file, VCardVersion::V40);
        QFile in(file);
        in.open(QIODevice::ReadOnly);
        std::vector<std::string> made;
        for (const QByteArray& line : in.readAll().split('\n'))
            made.push_back(line.toStdString() + "\n");
        made.pop_back();
        return made;
    }();
    return lines;
}

void BM_ExportVCards(benchmark::State& state)
{
    exportedLines();
    Connection connection;
    connection.open(connectionStringFor(contactsFromCards(kExported)));
    const QString file = scratchFile("export.vcf");
    int written = 0;
    for (auto _ : state)
        written = exportAllVCards(connection, file, VCardVersion::V40).written;
    if (written != kExported)
        state.SkipWithError("the export did not write every contact");
    state.counters["MB"] = static_cast<double>(QFile(file).size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ExportVCards)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(9)->UseRealTime();

void BM_PlainStdioWrite(benchmark::State& state)
{
    const std::vector<std::string>& lines = exportedLines();
    const QByteArray file = QFile::encodeName(scratchFile("plain.vcf"));
    size_t bytes = 0;
    for (auto _ : state) {
        FILE* out = std::fopen(file.constData(), "wb");
        bytes = 0;
        for (const std::string& line : lines) {
            std::fputs(line.c_str(), out);
            bytes += line.size();
        }
        if (std::fclose(out) != 0)
            state.SkipWithError("the plain write failed");
    }
    state.counters["MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_PlainStdioWrite)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(9)->UseRealTime();

// What reading the rows an export reads costs by itself, with SQLite's C
// API: every field of every contact and its kept card, in key order.
void BM_PlainSqliteRead(benchmark::State& state)
{
    const QByteArray file = QFile::encodeName(contactsFromCards(kExported));
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db,
                       "select c.ContactID, c.ContactName, c.DateOfBirth, c.Mobile1, c.Mobile2, c.Work1, c.Work2, "
                       "c.Fax1, c.Fax2, c.Home1, c.Home2, c.Email, c.Website, c.Remark, k.Uid, k.Card, k.Fields "
                       "from tblContact as c left join tblContactCard as k on k.ContactID = c.ContactID "
                       "order by c.ContactID",
                       -1, &statement, nullptr);
    const int columns = sqlite3_column_count(statement);
    int rows = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        rows = 0;
        bytes = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ++rows;
            for (int column = 0; column < columns; ++column) {
                // The keys and fingerprints as the numbers they are.
                if (sqlite3_column_type(statement, column) == SQLITE_INTEGER) {
                    bytes += sizeof(sqlite3_column_int64(statement, column));
                } else {
                    sqlite3_column_text(statement, column);
                    bytes += static_cast<size_t>(sqlite3_column_bytes(statement, column));
                }
            }
        }
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (rows != kExported)
        state.SkipWithError("the plain read did not read every contact");
    state.counters["MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_PlainSqliteRead)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(9)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
