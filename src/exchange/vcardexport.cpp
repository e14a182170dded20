#include "exchange/vcardexport.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <future>
#include <limits>
#include <mutex>
#include <numeric>
#include <optional>
#include <span>
#include <thread>

#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "base/apperror.h"
#include "exchange/cardbatch.h"
#include "exchange/cardfields.h"
#include "exchange/utf8rows.h"
#include "exchange/vcardwriter.h"
#include "store/collationsort.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/datafiles.h"
#include "store/keptcards.h"
#include "store/readsnapshot.h"
#include "store/statement.h"

namespace {

// How much is written at a time, after which the file system is asked to
// start writing it back.
const qsizetype kChunkBytes = 2 << 20;
// From this many rows on, half of the ties are settled on a thread of their own.
const size_t kRowsToSettleBeside = 1024;
// How far ahead of the copying the cards are fetched into the cache.
const size_t kCardsAhead = 8;
const qsizetype kCacheLine = 64;
const size_t kRowsPerBatch = 512;
// An export reads on at most this many threads, each taking stretches of
// keys until none is left; a save in between makes it read again, this many
// times before one thread reads all.
const unsigned kMostThreads = 4;
const unsigned kStretchesPerThread = 16;
const int kPartedAttempts = 3;

[[noreturn]] void failWriting(const QString& path, const QSaveFile& file)
{
    throw AppError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

// A large file that an export replaces. Held open across the rename, it
// gives back its space when let go of, on a thread of its own, instead of
// inside the rename the user waits for (milliseconds for every ten megabytes).
class ReplacedFile {
public:
    explicit ReplacedFile(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        struct stat info {};
        if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < kLargeFileBytes)
            return;
        mHandle = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    ~ReplacedFile()
    {
        if (mHandle < 0)
            return;
        try {
            std::thread([handle = mHandle] { ::close(handle); }).detach();
        } catch (const std::system_error&) {
            ::close(mHandle);
        }
    }
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

private:
    static constexpr qint64 kLargeFileBytes = 4 << 20;
    int mHandle = -1;
};

void refuseDataFile(const Connection& source, const QString& path)
{
    const QString refusal = exportRefusal(source, path);
    if (!refusal.isEmpty())
        throw AppError(refusal);
}

// The file appears under its name only once all of it is written.
template <typename WriteAll> void writeFile(const QString& path, WriteAll writeAll, bool buffered = true)
{
    const ReplacedFile replaced(path);
    QSaveFile file(path);
    if (!file.open(buffered ? QIODevice::WriteOnly : QIODevice::WriteOnly | QIODevice::Unbuffered))
        failWriting(path, file);
    if (!writeAll(file)) {
        file.cancelWriting();
        failWriting(path, file);
    }
    if (!file.commit())
        failWriting(path, file);
}

// One batch's cards one after the other, where each starts, and the
// beginnings of the names' collation keys.
struct RenderedBatch {
    QByteArray text;
    std::vector<qsizetype> starts;
    std::vector<CollationPrefix> prefixes;

    QByteArrayView at(size_t row) const
    {
        const qsizetype end = row + 1 < starts.size() ? starts[row + 1] : text.size();
        return QByteArrayView(text.constData() + starts[row], end - starts[row]);
    }
};

// The names one after the other, for the rows whose collation keys begin
// alike.
class Names {
public:
    void add(QByteArrayView name)
    {
        mStarts.push_back(mText.size());
        mText.append(name.data(), static_cast<size_t>(name.size()));
    }
    size_t size() const { return mStarts.size(); }
    QByteArrayView at(size_t row) const
    {
        const size_t end = row + 1 < mStarts.size() ? mStarts[row + 1] : mText.size();
        return QByteArrayView(mText.data() + mStarts[row], static_cast<qsizetype>(end - mStarts[row]));
    }

private:
    std::string mText;
    std::vector<size_t> mStarts;
};

// One stretch of keys, read and rendered: its cards batch by batch, and the
// names, both in key order.
struct StretchCards {
    std::vector<RenderedBatch> batches;
    Names names;
};

// Every contact's card and name, in key order, and what went out otherwise
// than stored.
struct Cards {
    std::vector<StretchCards> stretches;
    std::vector<QByteArrayView> cards;
    std::vector<QByteArrayView> names;
    std::vector<CollationPrefix> prefixes;
    VCardExportResult result;

    // Lines up the stretches' rows, which come in key order.
    void lineUp()
    {
        size_t rows = 0;
        for (const StretchCards& stretch : stretches)
            rows += stretch.names.size();
        cards.reserve(rows);
        names.reserve(rows);
        prefixes.reserve(rows);
        for (StretchCards& stretch : stretches) {
            for (RenderedBatch& batch : stretch.batches) {
                for (size_t row = 0; row < batch.starts.size(); ++row)
                    cards.push_back(batch.at(row));
                prefixes.insert(prefixes.end(), batch.prefixes.begin(), batch.prefixes.end());
                batch.prefixes = {};
            }
            for (size_t row = 0; row < stretch.names.size(); ++row)
                names.push_back(stretch.names.at(row));
        }
        result.written = static_cast<int>(cards.size());
    }
};

// The beginnings of the collation keys of a batch's names, so that the sort
// that follows the reading has little left to do.
std::vector<CollationPrefix> namePrefixes(const Utf8Rows& rows, const CollationPrefixMaker& maker)
{
    std::vector<CollationPrefix> prefixes;
    prefixes.reserve(rows.size());
    for (size_t row = 0; row < rows.size(); ++row)
        prefixes.push_back(maker.of(valueOf(rows.values(row), contact::Field::Name)));
    return prefixes;
}

// The fields of every contact with its key first and what is kept of its
// card last: UID, card, fingerprint.
QString contactsQuery(bool withKept, const QString& where)
{
    QStringList columns;
    for (const QString& column : contact::columnNames())
        columns << QStringLiteral("c.") + column;
    QString sql = QStringLiteral("select ") + columns.join(QLatin1Char(','));
    sql += withKept ? QStringLiteral(",k.Uid,k.Card,k.Fields from tblContact as c left join %1 as k on k.ContactID = "
                                     "c.ContactID")
                          .arg(QLatin1String(keptcards::kCardTable))
                    : QStringLiteral(",null,null,null from tblContact as c");
    return sql + where + QStringLiteral(" order by c.") + columns.first().mid(2);
}

const int kUidColumn = 1 + contact::kFieldCount;

// Views into the query's row, valid until its next step.
KeptPart keptPartOf(const Statement& query)
{
    KeptPart part;
    part.uid = query.text(kUidColumn);
    part.card = query.text(kUidColumn + 1);
    part.fingerprint = static_cast<quint64>(query.int64(kUidColumn + 2));
    return part;
}

// Whether each row's fields are still those its card was kept with, for
// the rows that have a kept card.
std::vector<char> unchangedRows(const CardBatch& batch)
{
    std::vector<keptcards::Fields> fields;
    std::vector<size_t> kept;
    fields.reserve(batch.rows.size());
    kept.reserve(batch.rows.size());
    for (size_t row = 0; row < batch.rows.size(); ++row) {
        if (!batch.kept(row).card.isEmpty()) {
            kept.push_back(row);
            fields.push_back(batch.rows.values(row));
        }
    }
    std::vector<quint64> fingerprints(fields.size());
    keptcards::fingerprintsOf(fields, fingerprints);
    std::vector<char> unchanged(batch.rows.size(), 0);
    for (size_t at = 0; at < kept.size(); ++at)
        unchanged[kept[at]] = fingerprints[at] == batch.kept(kept[at]).fingerprint;
    return unchanged;
}

// One contact as a card: the card it came from with its fields put in, or
// one made from its fields; with its own UID or the one made from its key.
void writeRow(VCardWriter& writer, keptcards::UidMaker& uids, const CardBatch& batch, size_t row, bool unchanged)
{
    const Utf8Values values = batch.rows.values(row);
    const KeptPart kept = batch.kept(row);
    const QByteArrayView uid = kept.uid.isEmpty() ? uids.of(batch.ids[row]) : kept.uid;
    if (kept.card.isEmpty())
        writer.write(values, uid);
    else
        writer.writeKept(values, uid, kept.card, unchanged);
}

// What a thread that reads and renders stretches of keys shares with the
// others.
struct ExportPlan {
    bool withKept = false;
    QUuid uidNamespace;
    VCardVersion version = VCardVersion::V40;
    std::vector<contact::KeyStretch> stretches;
};

// Renders a batch of rows into a text of its own, with its names' prefixes.
class BatchRenderer {
public:
    explicit BatchRenderer(const ExportPlan& plan) : mWriter(plan.version, mMapper), mUids(plan.uidNamespace) {}

    RenderedBatch render(const CardBatch& batch)
    {
        mWriter.reserve(mExpectedBytes);
        RenderedBatch rendered;
        rendered.starts.reserve(batch.rows.size());
        const std::vector<char> unchanged = unchangedRows(batch);
        for (size_t row = 0; row < batch.rows.size(); ++row) {
            rendered.starts.push_back(mWriter.size());
            writeRow(mWriter, mUids, batch, row, unchanged[row] != 0);
        }
        rendered.text = mWriter.takeBytes();
        mExpectedBytes = rendered.text.size() + rendered.text.size() / 4;
        rendered.prefixes = namePrefixes(batch.rows, mPrefixes);
        return rendered;
    }
    void addCounts(VCardExportResult& result) const
    {
        result.lineBreaksChanged += mWriter.lineBreaksChanged();
        result.textReplaced += mWriter.textReplaced();
    }

private:
    const ContactMapper mMapper;
    const CollationPrefixMaker mPrefixes;
    VCardWriter mWriter;
    keptcards::UidMaker mUids;
    qsizetype mExpectedBytes = 0;
};

// Takes the stretches of keys no other thread has taken, reads each in key
// order and renders it as it goes: reading and rendering cost about the
// same, and each thread doing both on its own keys keeps every core busy.
// All in one state of the file, whose change counter it returns.
quint32 readAndRender(Connection& connection, const ExportPlan& plan, std::atomic<size_t>& next, Cards& cards,
                      std::mutex& countsMutex)
{
    // Inside the caller's transaction the reads see one state already.
    std::optional<ReadSnapshot> snapshot;
    if (!connection.inTransaction())
        snapshot.emplace(connection);
    Statement query(connection, contactsQuery(plan.withKept, QStringLiteral(" where c.ContactID between ?1 and ?2")));
    const int nameColumn = 1 + contact::indexOf(contact::Field::Name);
    BatchRenderer renderer(plan);
    CardBatch batch;
    for (size_t stretch; (stretch = next++) < plan.stretches.size();) {
        StretchCards& out = cards.stretches[stretch];
        query.bindInt64(1, plan.stretches[stretch].from);
        query.bindInt64(2, plan.stretches[stretch].to);
        while (query.step()) {
            // Column 0 is the key; the fields follow in table order.
            batch.ids.push_back(query.int64(0));
            for (int column = 1; column <= contact::kFieldCount; ++column) {
                const QByteArrayView value = query.text(column);
                batch.rows.addValue(value);
                if (column == nameColumn)
                    out.names.add(value);
            }
            batch.addKept(keptPartOf(query));
            if (batch.rows.size() == kRowsPerBatch) {
                out.batches.push_back(renderer.render(batch));
                batch.clear();
            }
        }
        if (batch.rows.size() > 0) {
            out.batches.push_back(renderer.render(batch));
            batch.clear();
        }
        query.reset();
    }
    const std::lock_guard lock(countsMutex);
    renderer.addCounts(cards.result);
    return snapshot ? snapshot->changeCounter() : 0;
}

// Reads and renders stretches of keys on this thread and up to threads - 1
// others, each on a connection of its own; the change counters of the states
// each read.
std::vector<quint32> readOnThreads(Connection& connection, const ExportPlan& plan, unsigned threads, Cards& cards)
{
    cards.stretches.resize(plan.stretches.size());
    std::vector<Connection> readers;
    for (unsigned part = 1; part < threads; ++part)
        readers.push_back(connection.openReader());
    std::atomic<size_t> next = 0;
    std::mutex countsMutex;
    std::vector<quint32> states(threads, 0);
    std::vector<std::exception_ptr> failures(threads);
    const auto run = [&](size_t part, Connection& on) {
        try {
            states[part] = readAndRender(on, plan, next, cards, countsMutex);
        } catch (...) {
            failures[part] = std::current_exception();
            // The others stop after the stretch they are reading.
            next = plan.stretches.size();
        }
    };
    std::vector<std::thread> helpers;
    try {
        for (size_t part = 1; part < threads; ++part)
            helpers.emplace_back(run, part, std::ref(readers[part - 1]));
    } catch (const std::system_error&) {
        // Fewer threads: the stretches go to those there are.
    }
    run(0, connection);
    for (std::thread& helper : helpers)
        helper.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
    states.resize(1 + helpers.size());
    return states;
}

// Reads and renders every contact, on as many threads as there are cores.
// The parts are put together only when they all read the state the key
// range came from; otherwise a copy of the program saved in between, and
// they are read again. In the end one thread reads all in one state.
Cards readAllCards(Connection& connection, ExportPlan plan)
{
    const unsigned cores = std::max(1u, std::min(kMostThreads, std::thread::hardware_concurrency()));
    // Other connections would not see what the caller's transaction wrote.
    const bool parted = cores > 1 && !connection.path().isEmpty() && !connection.inTransaction();
    for (int attempt = 0; attempt < kPartedAttempts && parted; ++attempt) {
        qint64 low = 0;
        qint64 high = -1;
        quint32 state = 0;
        {
            const ReadSnapshot snapshot(connection);
            state = snapshot.changeCounter();
            Statement range(connection, contact::keyRangeQuery());
            if (range.step() && !range.isNull(0)) {
                low = range.int64(0);
                high = range.int64(1);
            }
        }
        // Keys are mostly dense: the key range stands for the number of rows.
        // Several stretches a thread, each taken by whichever thread is free,
        // keep the threads busy to the end even where the keys are not.
        const double span = static_cast<double>(high) - static_cast<double>(low) + 1;
        const auto count = static_cast<unsigned>(std::clamp(span / static_cast<double>(kRowsPerBatch), 1.0,
                                                            static_cast<double>(cores * kStretchesPerThread)));
        if (count == 1)
            break;
        plan.stretches = contact::keyStretches(low, high, count);
        Cards cards;
        std::vector<quint32> states;
        try {
            states = readOnThreads(connection, plan, std::min(cores, count), cards);
        } catch (const AppError&) {
            // A part that cannot be read (a connection of its own refused,
            // say) leaves the reading to one thread, which says what fails.
            break;
        }
        if (std::all_of(states.begin(), states.end(), [&](quint32 seen) { return seen == state; })) {
            cards.lineUp();
            return cards;
        }
    }
    plan.stretches = contact::keyStretches(0, 0, 1);
    Cards cards;
    readOnThreads(connection, plan, 1, cards);
    cards.lineUp();
    return cards;
}

// A few contacts, rendered in the order given.
std::pair<QByteArray, VCardExportResult> renderContacts(const ExportContacts& contacts, VCardVersion version)
{
    const ContactMapper mapper;
    VCardWriter writer(version, mapper);
    keptcards::UidMaker uids(contacts.uidNamespace);
    const std::vector<char> unchanged = unchangedRows(contacts.batch);
    for (size_t row = 0; row < contacts.batch.rows.size(); ++row)
        writeRow(writer, uids, contacts.batch, row, unchanged[row] != 0);
    const VCardExportResult result{static_cast<int>(contacts.batch.rows.size()), writer.lineBreaksChanged(),
                                   writer.textReplaced()};
    return {writer.takeBytes(), result};
}

// Asks the file system to start writing what it has so far, so that the sync
// at the end finds little left to do.
void startWriteback(const QSaveFile& file)
{
#ifdef SYNC_FILE_RANGE_WRITE
    sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(file);
#endif
}

// Hands bytes to the file system, all of them.
void writeAll(const QSaveFile& file, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(file.handle(), bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            // The unfinished file goes with the QSaveFile.
            throw AppError(QStringLiteral("Cannot write %1: %2")
                               .arg(file.fileName(), QString::fromLocal8Bit(std::strerror(errno))));
        }
        done += static_cast<size_t>(written);
    }
}

// Writes the cards in the order given, a piece of the file at a time:
// pieceEnd(from) says where the piece that starts at from ends, and may put
// the order up to there in its final order first. It runs beside the writing.
//
// The cards lie scattered over the batches they were rendered in: copied
// into one buffer in their order, they cost less than half of what the file
// system's own gathering of a hundred thousand pieces costs. The next piece
// is gathered on another thread while this one writes the last.
void writeInOrder(QSaveFile& file, const std::vector<QByteArrayView>& cards, const std::vector<uint32_t>& order,
                  const std::function<size_t(size_t)>& pieceEnd)
{
    size_t from = 0;
    const auto gather = [&](std::string& buffer) {
        buffer.clear();
        const size_t end = pieceEnd(from);
        for (size_t at = from; at < end; ++at) {
            // The cards ahead are asked for early: each lies somewhere else.
            if (at + kCardsAhead < end) {
                const QByteArrayView ahead = cards[order[at + kCardsAhead]];
                for (qsizetype line = 0; line < ahead.size(); line += kCacheLine)
                    __builtin_prefetch(ahead.data() + line);
            }
            buffer.append(cards[order[at]].data(), static_cast<size_t>(cards[order[at]].size()));
        }
        from = end;
    };
    std::array<std::string, 2> buffers;
    gather(buffers[0]);
    for (size_t piece = 0;; ++piece) {
        const bool last = from == order.size();
        std::string& following = buffers[(piece + 1) % 2];
        std::future<void> next;
        bool gatheredAlongside = false;
        if (!last) {
            try {
                next = std::async(std::launch::async, gather, std::ref(following));
                gatheredAlongside = true;
            } catch (const std::system_error&) {
                // No thread to be had: gathered after the write instead.
            }
        }
        writeAll(file, buffers[piece % 2]);
        startWriteback(file);
        if (last)
            return;
        if (gatheredAlongside)
            next.get();
        else
            gather(following);
    }
}

} // namespace

QString exportRefusal(const Connection& source, const QString& path)
{
    // The vCards there would cost every contact.
    if (!isDataFileOrCompanion(path, source.path()))
        return QString();
    return QStringLiteral("Cannot write %1: Rondexa keeps its contacts there. Choose another file for the export.")
        .arg(QDir::toNativeSeparators(path));
}

QByteArray vcardText(const std::vector<Contact>& contacts, VCardVersion version)
{
    const ContactMapper mapper;
    VCardWriter writer(version, mapper);
    for (const Contact& c : contacts)
        writer.write(c);
    return writer.takeBytes();
}

ExportContacts readForExport(Connection& connection, const std::vector<qint64>& ids)
{
    ExportContacts contacts;
    contacts.uidNamespace = keptcards::uidNamespace(connection);
    const bool withKept = keptcards::exists(connection);
    Statement query(connection, contactsQuery(withKept, QStringLiteral(" where c.ContactID = ?1")));
    for (const qint64 id : ids) {
        query.bindInt64(1, id);
        if (query.step()) {
            contacts.batch.ids.push_back(id);
            for (int column = 1; column <= contact::kFieldCount; ++column)
                contacts.batch.rows.addValue(query.text(column));
            contacts.batch.addKept(keptPartOf(query));
        }
        query.reset();
    }
    return contacts;
}

QByteArray vcardText(const ExportContacts& contacts, VCardVersion version)
{
    return renderContacts(contacts, version).first;
}

VCardExportResult writeVCardFile(const Connection& source, const QString& path, const ExportContacts& contacts,
                                 VCardVersion version)
{
    refuseDataFile(source, path);
    const auto [text, result] = renderContacts(contacts, version);
    writeFile(path, [&](QSaveFile& file) { return file.write(text) == text.size(); });
    return result;
}

VCardExportResult exportAllVCards(Connection& connection, const QString& path, VCardVersion version)
{
    refuseDataFile(connection, path);
    ExportPlan plan;
    plan.version = version;
    // Made, and stored the first time, before the reading begins.
    plan.uidNamespace = keptcards::uidNamespace(connection);
    plan.withKept = keptcards::exists(connection);
    const Cards cards = readAllCards(connection, plan);
    // The list's own order: the collation, then SQLite's NOCASE for names it
    // calls equal, then the key. The rows go in order of their names'
    // prefixes first; those whose prefixes tie are settled beside the writing,
    // which waits on the disk: the second half on a thread of its own from the
    // start, the first half a piece at a time as it is gathered.
    std::vector<uint32_t> order(cards.names.size());
    std::iota(order.begin(), order.end(), 0u);
    sortByPrefixesOnly(order, cards.prefixes, false);
    const std::function<QByteArrayView(size_t)> nameOf = [&cards](size_t row) { return cards.names[row]; };
    const std::function<int(uint32_t, uint32_t)> byNoCase = [&nameOf](uint32_t a, uint32_t b) {
        return asciiNoCase(nameOf(a), nameOf(b));
    };
    size_t half = order.size() < kRowsToSettleBeside ? order.size() : order.size() / 2;
    while (half < order.size() && cards.prefixes[order[half]] == cards.prefixes[order[half - 1]])
        ++half;
    const auto settle = [&](std::span<uint32_t> part, size_t from, size_t to) {
        return settleTies(part, from, to, cards.prefixes, nameOf, false, byNoCase);
    };
    std::future<size_t> secondHalf;
    try {
        if (half < order.size())
            secondHalf = std::async(std::launch::async, settle, std::span(order).subspan(half), 0, order.size() - half);
    } catch (const std::system_error&) {
        half = order.size();
    }
    const auto pieceEnd = [&](size_t from) {
        // Nothing of the half still being settled is read.
        const size_t limit = from < half ? half : order.size();
        if (from == half && secondHalf.valid())
            secondHalf.get();
        size_t to = from;
        for (qsizetype bytes = 0; to < limit && bytes < kChunkBytes; ++to)
            bytes += cards.cards[order[to]].size();
        return from < half ? settle(std::span(order).first(half), from, to) : to;
    };
    writeFile(
        path,
        [&](QSaveFile& file) {
            writeInOrder(file, cards.cards, order, pieceEnd);
            return true;
        },
        false);
    return cards.result;
}

QString writtenLine(const VCardExportResult& result, const QString& path)
{
    QString line =
        QStringLiteral("%1 written to %2")
            .arg(result.written == 1 ? QStringLiteral("1 contact") : QStringLiteral("%1 contacts").arg(result.written),
                 QDir::toNativeSeparators(path));
    QStringList changed;
    if (result.lineBreaksChanged > 0)
        changed << QStringLiteral("%1 with line breaks outside the remarks written as plain line breaks")
                       .arg(result.lineBreaksChanged);
    if (result.textReplaced > 0)
        changed << QStringLiteral("%1 with text that is not valid UTF-8 written with replacement characters")
                       .arg(result.textReplaced);
    if (!changed.isEmpty())
        line += QStringLiteral("; ") + changed.join(QStringLiteral(", "));
    return line;
}
