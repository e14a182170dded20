#include "support/contactgen.h"

#include <malloc.h>
#include <random>

#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "base/messages.h"
#include "base/programend.h"
#include "store/connection.h"
#include "store/paths.h"
#include "store/session.h"

namespace {

const char* const kFirst[] = {"Martin", "Anna",   "Émile", "Zoë",   "Борис", "Яков",  "Ольга", "Νίκος",
                              "Gareth", "Stuart", "Chloé", "Björn", "Иван",  "Мария", "Sean",  "Łukasz",
                              "王",     "李娜",   "健太",  "美咲",  "Ελένη", "Ngozi", "José",  "Ярослава"};
const char* const kLast[] = {"Oakes", "Lowe",    "Penn",    "Müller",    "Иванов",   "Петрова", "Smith", "O'Brien",
                             "Dupré", "Nilsson", "Соколов", "Παππάς",    "Kowalski", "García",  "Brown", "Ng",
                             "张",    "田中",    "佐藤",    "Οικονόμου", "Nakamura", "Ильин",   "Lee",   "Schröder"};
const char kWords[] = "met at the conference call after six bring the documents birthday gift ideas works at "
                      "the hospital prefers e-mail over phone ask about the garden project новый адрес вторник";

} // namespace

std::vector<Contact> generateContacts(int count, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> name(0, static_cast<int>(std::size(kFirst)) - 1);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> length(10, 13);
    std::uniform_int_distribution<int> chance(0, 99);
    std::uniform_int_distribution<int> remarkLength(0, 300);
    const QString words = QString::fromUtf8(kWords);
    std::uniform_int_distribution<int> wordStart(0, static_cast<int>(words.size()) - 1);
    const auto phone = [&] {
        QString number;
        for (int n = length(random); n > 0; --n)
            number += QChar(u'0' + digit(random));
        return number;
    };
    std::vector<Contact> contacts;
    contacts.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Contact v;
        v[contact::Field::Name] = QString::fromUtf8(kFirst[name(random)]) + QLatin1Char(' ') +
                                  QString::fromUtf8(kLast[name(random)]) + QLatin1Char(' ') + QString::number(i);
        v[contact::Field::DateOfBirth] = QStringLiteral("%1/%2/%3")
                                             .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                                             .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                             .arg(1940 + i % 70);
        // The eight phone numbers: nearly everyone has a first mobile.
        for (const contact::FieldInfo& field : contact::fields()) {
            const int c = contact::indexOf(field.field);
            if (c >= contact::indexOf(contact::Field::Mobile1) && c <= contact::indexOf(contact::Field::Home2))
                v[field.field] =
                    chance(random) < (field.field == contact::Field::Mobile1 ? 95 : 35) ? phone() : QString();
        }
        v[contact::Field::Email] = QStringLiteral("person%1@example.com").arg(i);
        v[contact::Field::Website] =
            chance(random) < 30 ? QStringLiteral("https://www.example.org/%1").arg(i) : QString();
        QString remark;
        const int wanted = remarkLength(random);
        while (remark.size() < wanted)
            remark += words.mid(wordStart(random), 12);
        v[contact::Field::Remark] = remark.left(wanted);
        contacts.push_back(std::move(v));
    }
    return contacts;
}

QString connectionStringFor(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= ") + path;
}

void writeContactFile(const QString& path, int count, unsigned seed)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.close();
    Connection connection;
    connection.open(connectionStringFor(path));
    connection.execute(QStringLiteral("PRAGMA synchronous=OFF"));
    connection.execute(QStringLiteral("BEGIN"));
    for (const Contact& values : generateContacts(count, seed))
        connection.execute(contact::insertStatement(values));
    connection.execute(QStringLiteral("COMMIT"));
}

QString cachedContactFile(int count)
{
    // Named after what makes them: a change to the generator asks for a new name.
    const QString folder = QStringLiteral(RONDEXA_BUILD_DIR "/bench-data");
    const QString file = folder + QStringLiteral("/contacts-v2-%1.mdb").arg(count);
    if (!QFileInfo::exists(file)) {
        QDir().mkpath(folder);
        const QString partial = file + QStringLiteral(".partial");
        writeContactFile(partial, count);
        QFile::rename(partial, file);
    }
    return file;
}

long residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4096 : 0;
}

QString prepareDataHome(int count)
{
    static QTemporaryDir home;
    static int madeFor = -1;
    const QString dataHome = home.path() + QStringLiteral("/data");
    const QString file = dataHome + QStringLiteral("/Marrowind/Rondexa/dbContacts.mdb");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    if (madeFor != count) {
        QDir().mkpath(dataHome + QStringLiteral("/Marrowind/Rondexa"));
        writeContactFile(file, count);
        madeFor = count;
    }
    return file;
}

namespace {

// Only failures are worth a line: a save's own message is expected.
class ReportingSink : public MessageSink {
public:
    MsgAnswer show(const MessageRequest& request) override
    {
        if (request.title == QLatin1String("Application Error"))
            fprintf(stderr, "%s\n", qPrintable(request.text));
        // Asked whether to delete, the benchmark means it.
        return request.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
};

class NoEnd : public ProgramEnd {
public:
    void endProgram(int) override {}
};

} // namespace

Session& benchSession()
{
    static ReportingSink sink;
    static Messages messages(sink);
    static NoEnd end;
    static Session session(messages, end, QStringLiteral(RONDEXA_BUILD_DIR));
    return session;
}

long heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>(info.uordblks + info.hblkhd);
}

void timePlainQuery(benchmark::State& state, const QString& file, const QString& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        state.SkipWithError("cannot open the data file");
        return;
    }
    const QByteArray text = sql.toUtf8();
    int rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, text.constData(), -1, &statement, nullptr);
        size_t bytes = 0;
        rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int i = 0; i < 14; ++i) {
                benchmark::DoNotOptimize(sqlite3_column_text(statement, i));
                bytes += static_cast<size_t>(sqlite3_column_bytes(statement, i));
            }
            ++rows;
        }
        sqlite3_finalize(statement);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["rows"] = rows;
    sqlite3_close(db);
}

int runWidgetBenchmarks(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
