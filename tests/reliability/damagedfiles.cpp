#include "damagedfiles.h"

#include <sqlite3.h>

#include <QFile>

#include "store/contacttable.h"
#include "store/sqlitehandles.h"

namespace {

// The b-tree page types of the file format: interior and leaf, index and table.
bool isBtreePage(unsigned char type)
{
    return type == 2 || type == 5 || type == 10 || type == 13;
}

struct Layout {
    int pageSize = 0;
    int pages = 0;
    // Offsets of the page headers of the b-tree pages, and the numbers of the
    // pages that are not b-tree pages (overflow pages in a fresh file).
    std::vector<int> btreeHeaders;
    std::vector<int> otherPages;
};

Layout layoutOf(const QByteArray& file)
{
    Layout layout;
    const auto byte = [&](int at) { return static_cast<unsigned char>(file[at]); };
    layout.pageSize = byte(16) << 8 | byte(17);
    if (layout.pageSize == 1)
        layout.pageSize = 65536;
    layout.pages = static_cast<int>(file.size() / layout.pageSize);
    for (int page = 1; page <= layout.pages; ++page) {
        const int header = (page - 1) * layout.pageSize + (page == 1 ? 100 : 0);
        if (isBtreePage(byte(header)))
            layout.btreeHeaders.push_back(header);
        else
            layout.otherPages.push_back(page);
    }
    return layout;
}

class Maker {
public:
    Maker(const QByteArray& sound, std::mt19937_64& random) : mSound(sound), mRandom(random) {}

    int below(int limit) { return static_cast<int>(mRandom() % static_cast<unsigned>(limit)); }
    char randomByte() { return static_cast<char>(below(256)); }

    // Random bytes over [at, at + size), at least one of them different.
    QByteArray overwritten(int at, int size)
    {
        QByteArray bytes = mSound;
        do {
            for (int i = 0; i < size; ++i)
                bytes[at + i] = randomByte();
        } while (bytes.mid(at, size) == mSound.mid(at, size));
        return bytes;
    }

    QByteArray withValue(int at, const QByteArray& value)
    {
        QByteArray bytes = mSound;
        bytes.replace(at, value.size(), value);
        return bytes;
    }

    void add(std::string label, QByteArray bytes) { mVariants.push_back({std::move(label), std::move(bytes)}); }
    std::vector<DamagedVariant> take() { return std::move(mVariants); }
    const QByteArray& sound() const { return mSound; }

private:
    const QByteArray& mSound;
    std::mt19937_64& mRandom;
    std::vector<DamagedVariant> mVariants;
};

QByteArray bigEndian(quint32 value, int size)
{
    QByteArray bytes(size, '\0');
    for (int i = size - 1; i >= 0; --i) {
        bytes[i] = static_cast<char>(value & 0xff);
        value >>= 8;
    }
    return bytes;
}

std::string at(const char* what, int offset)
{
    return std::string(what) + " at byte " + std::to_string(offset);
}

void truncations(Maker& make, const Layout& layout)
{
    const int ps = layout.pageSize;
    // The last page has to be lost whole: a cut inside it only shortens the
    // cell content there, which no structural check can notice.
    const int longest = (layout.pages - 1) * ps;
    // No 1-byte file: SQLite's file layer reports that size as 0, so such a
    // file is a new database like an empty one.
    for (const int length : {2, 15, 16, 50, 99, 100, 101, 512, ps - 1})
        make.add("truncated to " + std::to_string(length) + " bytes", make.sound().left(length));
    for (int pages = 1; pages < layout.pages; ++pages) {
        make.add("truncated to " + std::to_string(pages) + " whole pages", make.sound().left(pages * ps));
        const int ragged = pages * ps + 1 + make.below(ps - 1);
        if (ragged <= longest)
            make.add("truncated to " + std::to_string(ragged) + " bytes", make.sound().left(ragged));
    }
}

void headerFields(Maker& make, const Layout& layout)
{
    struct Field {
        const char* name;
        int offset;
        int size;
    };
    // The fields the format checks; the change counter, cookies, user version
    // and the reserved tail are not checked by anyone and are left out.
    const Field randomFields[] = {{"magic text", 0, 16},
                                  {"page size", 16, 2},
                                  {"reserved bytes per page", 20, 1},
                                  {"payload fractions", 21, 3},
                                  {"first freelist trunk page", 32, 4},
                                  {"freelist page count", 36, 4},
                                  {"largest root page (auto-vacuum)", 52, 4}};
    for (const Field& field : randomFields) {
        for (int i = 0; i < 3; ++i) {
            // A few bytes of the field, not always all of it.
            const int first = field.offset + make.below(field.size);
            const int size = 1 + make.below(field.offset + field.size - first);
            make.add(at(field.name, first), make.overwritten(first, size));
        }
    }
    for (int i = 0; i < 3; ++i) {
        make.add("read version " + std::to_string(3 + i * 100),
                 make.withValue(19, QByteArray(1, static_cast<char>(3 + i * 100))));
        const quint32 pages = static_cast<quint32>(layout.pages + 1 + make.below(1000));
        make.add("page count " + std::to_string(pages) + " in the header", make.withValue(28, bigEndian(pages, 4)));
        const quint32 format = static_cast<quint32>(5 + make.below(250));
        make.add("schema format " + std::to_string(format), make.withValue(44, bigEndian(format, 4)));
    }
    make.add("text encoding UTF-16le over UTF-8 text", make.withValue(56, bigEndian(2, 4)));
    make.add("text encoding UTF-16be over UTF-8 text", make.withValue(56, bigEndian(3, 4)));
    make.add("text encoding 77", make.withValue(56, bigEndian(77, 4)));
}

void btreeHeaders(Maker& make, const Layout& layout)
{
    const QByteArray& sound = make.sound();
    for (const int header : layout.btreeHeaders) {
        const int page = header / layout.pageSize + 1;
        const auto type = static_cast<unsigned char>(sound[header]);
        const bool interior = type == 2 || type == 5;
        const std::string where = " of page " + std::to_string(page);

        unsigned char wrong = type;
        while (isBtreePage(wrong))
            wrong = static_cast<unsigned char>(make.randomByte());
        make.add("page type " + std::to_string(wrong) + where,
                 make.withValue(header, QByteArray(1, static_cast<char>(wrong))));
        make.add("first freeblock" + where, make.overwritten(header + 1, 2));
        make.add("cell count" + where, make.overwritten(header + 3, 2));
        make.add("cell content start" + where, make.overwritten(header + 5, 2));
        make.add("fragmented byte count" + where, make.overwritten(header + 7, 1));
        if (interior)
            make.add("right-most child" + where, make.overwritten(header + 8, 4));
        const int cells =
            static_cast<unsigned char>(sound[header + 3]) << 8 | static_cast<unsigned char>(sound[header + 4]);
        if (cells > 0) {
            const int pointer = header + (interior ? 12 : 8) + 2 * make.below(cells);
            make.add("cell pointer at byte " + std::to_string(pointer) + where, make.overwritten(pointer, 2));
        }
    }
}

void wholePages(Maker& make, const Layout& layout)
{
    const int ps = layout.pageSize;
    for (int page = 1; page <= layout.pages; ++page) {
        const int start = (page - 1) * ps;
        QByteArray zeroed = make.sound();
        zeroed.replace(start, ps, QByteArray(ps, '\0'));
        make.add("page " + std::to_string(page) + " zeroed", zeroed);
        make.add("page " + std::to_string(page) + " random", make.overwritten(start, ps));
    }
    for (const int header : layout.btreeHeaders) {
        QByteArray zeroed = make.sound();
        zeroed.replace(header, 64, QByteArray(64, '\0'));
        make.add("64 bytes zeroed from the header of page " + std::to_string(header / ps + 1), zeroed);
    }
    // An overflow page starts with the number of the next one in its chain.
    for (const int page : layout.otherPages)
        make.add("next-page number of overflow page " + std::to_string(page), make.overwritten((page - 1) * ps, 4));
}

void notDatabases(Maker& make)
{
    make.add("a text file", "Martin Oakes, 555-0100, martin@example.org\nO'Brien, 555-0199\n");
    make.add("the SQLite magic followed by text",
             QByteArray("SQLite format 3", 16) + QByteArray("this is not a database at all. ").repeated(200));
    QByteArray noise(8192, '\0');
    for (char& c : noise)
        c = make.randomByte();
    make.add("8 KB of random bytes", noise);
    make.add("100 random bytes", noise.left(100));
    make.add("4 KB of zeros", QByteArray(4096, '\0'));
    make.add("two line feeds", "\n\n");
    make.add("a spreadsheet's zip header", QByteArray("PK\x03\x04\x14\x00\x06\x00", 8) + noise.left(3000));
    make.add("the file's first 100 bytes only, then zeros", make.sound().left(100) + QByteArray(4096 - 100, '\0'));
}

} // namespace

std::vector<DamagedVariant> damagedVariants(const QByteArray& sound, std::mt19937_64& random)
{
    const Layout layout = layoutOf(sound);
    Maker make(sound, random);
    truncations(make, layout);
    headerFields(make, layout);
    btreeHeaders(make, layout);
    wholePages(make, layout);
    notDatabases(make);
    return make.take();
}

QByteArray databaseFrom(const QString& scratchFolder, const QStringList& statements)
{
    const QString path = scratchFolder + QStringLiteral("/built.db");
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        DatabaseHandle db(raw);
        check(rc, db.get());
        for (const QString& statement : statements)
            check(sqlite3_exec(db.get(), statement.toUtf8().constData(), nullptr, nullptr, nullptr), db.get());
    }
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    file.close();
    QFile::remove(path);
    return bytes;
}

std::vector<DamagedVariant> otherLayouts(const QString& scratchFolder)
{
    const QStringList names = contact::columnNames();
    const auto tableOf = [](const QStringList& columns) {
        QStringList declared;
        for (const QString& column : columns)
            declared << (column == QLatin1String("ContactID")
                             ? QStringLiteral("ContactID INTEGER PRIMARY KEY AUTOINCREMENT")
                             : QStringLiteral("\"%1\" TEXT COLLATE NOCASE").arg(column));
        return QStringLiteral("CREATE TABLE tblContact (%1)").arg(declared.join(QStringLiteral(", ")));
    };
    const auto withRows = [&](const QStringList& columns) {
        QStringList statements{tableOf(columns)};
        for (int i = 0; i < 3; ++i)
            statements << QStringLiteral("insert into tblContact default values");
        return databaseFrom(scratchFolder, statements);
    };
    const auto swapped = [&](const QString& a, const QString& b) {
        QStringList columns = names;
        columns.swapItemsAt(columns.indexOf(a), columns.indexOf(b));
        return columns;
    };
    const auto renamed = [&](const QString& from, const QString& to) {
        QStringList columns = names;
        columns[columns.indexOf(from)] = to;
        return columns;
    };

    std::vector<DamagedVariant> variants;
    variants.push_back({"tblContact without Remark", withRows(names.mid(0, 13))});
    variants.push_back({"tblContact with a fifteenth column", withRows(names + QStringList{"Photo"})});
    variants.push_back(
        {"tblContact with ContactName and DateOfBirth swapped", withRows(swapped("ContactName", "DateOfBirth"))});
    variants.push_back({"tblContact with Mobile1 and Mobile2 swapped", withRows(swapped("Mobile1", "Mobile2"))});
    QStringList idLast = names.mid(1);
    idLast << names[0];
    variants.push_back({"tblContact with ContactID last", withRows(idLast)});
    variants.push_back({"tblContact with Email named Mail", withRows(renamed("Email", "Mail"))});
    variants.push_back({"tblContact with an empty-named column instead of Website", withRows(renamed("Website", ""))});
    variants.push_back(
        {"tblContact with \"Contact Name\" written with a blank", withRows(renamed("ContactName", "Contact Name"))});
    variants.push_back({"tblContact with only ContactID and ContactName", withRows(names.mid(0, 2))});
    return variants;
}

Verdict examine(const QByteArray& bytes, const QString& scratchFolder, const std::vector<StoredRow>& soundRows)
{
    const QString path = scratchFolder + QStringLiteral("/examined.db");
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    DatabaseHandle db(raw);
    try {
        check(rc, db.get());
        const QStringList verdict = firstColumn(db.get(), "PRAGMA integrity_check");
        if (verdict != QStringList{QStringLiteral("ok")})
            return {Damage::Visible, verdict.mid(0, 3).join(QStringLiteral("; "))};
        const QStringList columns = firstColumn(db.get(), "select name from pragma_table_info('tblContact')");
        if (columns.join(QLatin1Char(','))
                .compare(contact::columnNames().join(QLatin1Char(',')), Qt::CaseInsensitive) != 0)
            return {Damage::Visible, QStringLiteral("columns ") + columns.join(QLatin1Char(','))};
    } catch (const std::exception& e) {
        return {Damage::Visible, QString::fromUtf8(e.what())};
    }
    try {
        if (rowsById(db.get()) != soundRows)
            return {Damage::Invisible, QStringLiteral("rows differ")};
    } catch (const std::exception& e) {
        return {Damage::Invisible, QString::fromUtf8(e.what())};
    }
    return {Damage::None, QString()};
}
