// Syncs with an address book of 10,000 cards on a local Xandikos: the first
// sync into a fresh data file against vdirsyncer's first sync of the same
// book into a folder, and a later sync after another client changed one card,
// by its time and its requests.
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <memory>

#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include "base/apperror.h"
#include "exchange/vcardexport.h"
#include "store/connection.h"
#include "support/contactgen.h"
#include "sync/davclient.h"
#include "sync/syncengine.h"

namespace {

const int kCards = 10000;
// As long as the program's own syncs wait for an answer: a sync that needed
// longer would fail there.
const std::chrono::seconds kTimeout(30);
const QString kUser = QStringLiteral("alice");

// The Debian tools, not a Python of the developer's (pyenv and the like),
// with a home of their own so that no personal configuration reaches them;
// their output goes to the log, where a failure is explained. They end with
// this process, however it ends.
void prepareTool(QProcess& process, const QString& home, const QString& log)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("PYTHONNOUSERSITE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(home);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(log, QIODevice::Append);
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// Its exit code; -1 when it could not start or crashed.
int runTool(const QString& program, const QStringList& arguments, const QString& folder, const QString& log)
{
    QProcess process;
    prepareTool(process, folder, log);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

QByteArray uidOf(int card)
{
    return "6f1c0e0a-0000-4000-8000-" + QByteArray::number(card).rightJustified(12, '0');
}

// The server, its address book, and the data file the later syncs go on from.
struct Fixture {
    QTemporaryDir scratch;
    QProcess xandikos;
    QUrl book;
    QString error;
    Connection later;
    // Its first change waits for Xandikos to read every card's UID.
    DavClient editor{kUser, QStringLiteral("any"), std::chrono::minutes(10)};
    int changes = 0;

    ~Fixture() { stop(); }

    QString path(const QString& name) const { return scratch.path() + QLatin1Char('/') + name; }
    QString log() const { return path(QStringLiteral("tools.log")); }
    // The scratch folder goes with the run: why a tool failed is told now.
    QByteArray logTail() const
    {
        QFile file(log());
        file.open(QIODevice::ReadOnly);
        file.seek(qMax<qint64>(0, file.size() - 400));
        return file.readAll();
    }

    QString freshDataFile(const QString& name) const
    {
        const QString file = path(name);
        QFile::remove(file);
        QFile::remove(file + QStringLiteral("-journal"));
        QFile::copy(QStringLiteral(RONDEXA_BUILD_DIR "/dbContacts.mdb"), file);
        QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return file;
    }

    // A data file as a new user's, set to sync with the book.
    void startFresh(Connection& connection, const QString& name) const
    {
        connection.open(connectionStringFor(freshDataFile(name)));
        SyncAccount account;
        account.server = book;
        account.user = kUser;
        account.book = book;
        saveSyncAccount(connection, account);
    }

    // On the port it had before, if any: the data files name it.
    QString serve()
    {
        if (book.isEmpty()) {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            book =
                QUrl(QStringLiteral("http://127.0.0.1:%1/%2/contacts/addressbook/").arg(probe.serverPort()).arg(kUser));
        }
        prepareTool(xandikos, scratch.path(), log());
        xandikos.start(QStringLiteral("/usr/bin/xandikos"),
                       {QStringLiteral("-l"), QStringLiteral("127.0.0.1"), QStringLiteral("--defaults"),
                        QStringLiteral("--current-user-principal"), QLatin1Char('/') + kUser + QLatin1Char('/'),
                        QStringLiteral("-p"), QString::number(book.port()), QStringLiteral("-d"),
                        path(QStringLiteral("store"))});
        DavClient asking(kUser, QStringLiteral("any"), std::chrono::seconds(5));
        for (int attempt = 0; attempt < 300 && xandikos.state() != QProcess::NotRunning; ++attempt) {
            try {
                if (asking.send("PROPFIND", book, {}, 0).status == 207)
                    return {};
            } catch (const AppError&) {
            }
            QThread::msleep(100);
        }
        return QStringLiteral("Xandikos did not serve the address book: ") + QString::fromUtf8(logTail());
    }

    void stop()
    {
        if (xandikos.state() == QProcess::NotRunning)
            return;
        xandikos.terminate();
        if (!xandikos.waitForFinished(10000)) {
            xandikos.kill();
            xandikos.waitForFinished(-1);
        }
    }

    // Each PUT commits the whole index in Xandikos, so 10,000 of them one by
    // one take well over an hour; the cards go into its git store in one
    // commit instead, which Xandikos serves as any other state of the book.
    QString prepare()
    {
        if (QString failed = serve(); !failed.isEmpty())
            return failed;
        stop();
        const QString folder = path(QStringLiteral("store/%1/contacts/addressbook").arg(kUser));
        // As phones write them: an address, an organization and a UID besides
        // the fields.
        const QByteArray text = vcardText(generateContacts(kCards), VCardVersion::V30);
        QByteArray card;
        int written = 0;
        for (const QByteArray& line : text.split('\n')) {
            if (line.startsWith("END:VCARD")) {
                ++written;
                card += "ADR;TYPE=home:;;" + QByteArray::number(written) + " Kastanienallee;Berlin;;10435;Germany\r\n";
                card += "ORG:Bakery " + QByteArray::number(written % 97) + ";Sales\r\n";
                card += "UID:" + uidOf(written) + "\r\n" + line + '\n';
                QFile out(folder + QLatin1Char('/') + QString::fromLatin1(uidOf(written)) + QStringLiteral(".vcf"));
                if (!out.open(QIODevice::WriteOnly) || out.write(card) != card.size())
                    return QStringLiteral("cannot write ") + out.fileName();
                card.clear();
            } else if (!line.isEmpty()) {
                card += line + '\n';
            }
        }
        const QString git = QStringLiteral("/usr/bin/git");
        if (written != kCards || runTool(git, {QStringLiteral("add"), QStringLiteral(".")}, folder, log()) != 0 ||
            runTool(git,
                    {QStringLiteral("-c"), QStringLiteral("user.name=bench"), QStringLiteral("-c"),
                     QStringLiteral("user.email=bench@localhost"), QStringLiteral("commit"), QStringLiteral("-q"),
                     QStringLiteral("-m"), QStringLiteral("10,000 cards")},
                    folder, log()) != 0) {
            return QStringLiteral("cannot commit the cards into Xandikos' store: ") + QString::fromUtf8(logTail());
        }
        return serve();
    }

    // Another client changes one card's e-mail address, each time another
    // card, as a person's phone would.
    void changeOneCard()
    {
        QUrl url = book;
        url.setPath(book.path() + QString::fromLatin1(uidOf(changes % kCards + 1)) + QStringLiteral(".vcf"));
        const std::vector<DavCard> now = editor.fetch(book, {url.path()});
        if (now.size() != 1)
            throw AppError(QStringLiteral("%1 is not on the server").arg(url.toString()));
        ++changes;
        QByteArray card;
        bool email = false;
        for (QByteArray line : now.front().card.split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            // A folded line goes with the property it continues.
            if (!line.startsWith(' ') && !line.startsWith('\t'))
                email = line.startsWith("EMAIL");
            if (line.startsWith("END:VCARD"))
                card += "EMAIL;TYPE=INTERNET:changed" + QByteArray::number(changes) + "@example.org\r\n";
            if (!line.isEmpty() && !email)
                card += line + "\r\n";
        }
        QByteArray etag;
        if (editor.put(url, card, now.front().etag, etag) != DavClient::Outcome::Done)
            throw AppError(QStringLiteral("the change of %1 was not taken").arg(url.toString()));
    }
};

std::unique_ptr<Fixture> gFixture;

Fixture* fixture(benchmark::State& state)
{
    if (!gFixture) {
        gFixture = std::make_unique<Fixture>();
        gFixture->error = gFixture->prepare();
    }
    if (!gFixture->error.isEmpty()) {
        state.SkipWithError(gFixture->error.toUtf8().constData());
        return nullptr;
    }
    return gFixture.get();
}

void BM_FirstSync(benchmark::State& state)
{
    Fixture* made = fixture(state);
    if (made == nullptr)
        return;
    try {
        for (auto _ : state) {
            state.PauseTiming();
            {
                Connection connection;
                made->startFresh(connection, QStringLiteral("first.mdb"));
                DavClient client(kUser, QStringLiteral("any"), kTimeout);
                state.ResumeTiming();
                const SyncSummary summary = syncContacts(connection, client, SyncOptions());
                state.PauseTiming();
                state.counters["requests"] = client.requests();
                if (summary.received != kCards) {
                    state.SkipWithError(("not every card received: " + summary.line()).toUtf8().constData());
                    break;
                }
            }
            state.ResumeTiming();
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK(BM_FirstSync)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

void BM_VdirsyncerFirstSync(benchmark::State& state)
{
    Fixture* made = fixture(state);
    if (made == nullptr)
        return;
    const QString vdirsyncer = QStringLiteral("/usr/bin/vdirsyncer");
    for (auto _ : state) {
        state.PauseTiming();
        const QString folder = made->path(QStringLiteral("vdirsyncer"));
        QDir(folder).removeRecursively();
        QDir().mkpath(folder + QStringLiteral("/status"));
        QDir().mkpath(folder + QStringLiteral("/contacts"));
        // The pair's one collection named outright, and the folder there
        // already: discover then asks nothing.
        QFile config(folder + QStringLiteral("/config"));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("[general]\nstatus_path = \"%1/status/\"\n\n"
                                    "[pair contacts]\na = \"local\"\nb = \"server\"\ncollections = null\n\n"
                                    "[storage local]\ntype = \"filesystem\"\npath = \"%1/contacts/\"\n"
                                    "fileext = \".vcf\"\n\n"
                                    "[storage server]\ntype = \"carddav\"\nurl = \"%2\"\nusername = \"%3\"\n"
                                    "password = \"any\"\n")
                         .arg(folder, made->book.toString(), kUser)
                         .toUtf8());
        config.close();
        const int discovered = runTool(
            vdirsyncer, {QStringLiteral("-c"), config.fileName(), QStringLiteral("discover")}, folder, made->log());
        QElapsedTimer clock;
        clock.start();
        state.ResumeTiming();
        const int synced = discovered != 0
                               ? -1
                               : runTool(vdirsyncer, {QStringLiteral("-c"), config.fileName(), QStringLiteral("sync")},
                                         folder, made->log());
        state.PauseTiming();
        const auto received =
            QDir(folder + QStringLiteral("/contacts")).entryList({QStringLiteral("*.vcf")}, QDir::Files).size();
        if (synced != 0 || received != kCards) {
            state.SkipWithError(QStringLiteral("vdirsyncer failed after %1 s with %2 cards: %3")
                                    .arg(clock.elapsed() / 1000)
                                    .arg(received)
                                    .arg(QString::fromUtf8(made->logTail()))
                                    .toUtf8()
                                    .constData());
            // Xandikos goes on answering a request its client gave up on,
            // and would keep the next benchmark waiting.
            made->stop();
            made->error = made->serve();
            break;
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_VdirsyncerFirstSync)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

void BM_LaterSyncOneChange(benchmark::State& state)
{
    Fixture* made = fixture(state);
    if (made == nullptr)
        return;
    try {
        if (!made->later.isOpen()) {
            made->startFresh(made->later, QStringLiteral("later.mdb"));
            DavClient client(kUser, QStringLiteral("any"), kTimeout);
            const SyncSummary first = syncContacts(made->later, client, SyncOptions());
            if (first.received != kCards)
                throw AppError(QStringLiteral("the first sync did not receive every card: ") + first.line());
        }
        SyncSummary one;
        one.received = 1;
        for (auto _ : state) {
            state.PauseTiming();
            made->changeOneCard();
            {
                DavClient client(kUser, QStringLiteral("any"), kTimeout);
                state.ResumeTiming();
                const SyncSummary summary = syncContacts(made->later, client, SyncOptions());
                state.PauseTiming();
                state.counters["requests"] = client.requests();
                if (summary.line() != one.line()) {
                    state.SkipWithError(("not just the one change received: " + summary.line()).toUtf8().constData());
                    break;
                }
            }
            state.ResumeTiming();
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK(BM_LaterSyncOneChange)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The server stops, and its Qt objects go, while the application exists.
    gFixture.reset();
    return 0;
}
