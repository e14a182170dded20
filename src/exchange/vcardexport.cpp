#include "exchange/vcardexport.h"

#include <limits>
#include <mutex>
#include <numeric>
#include <thread>

#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
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
#include "store/statement.h"

namespace {

// How much is written before the file system is asked to start writing it
// back, and how many cards one call hands over.
const qsizetype kChunkBytes = 1 << 20;
const size_t kPiecesPerWrite = 1024;
const size_t kRowsPerBatch = 512;

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

// Every contact's card, by its place in key order.
struct Cards {
    // In the order they were read; all but the last hold kRowsPerBatch.
    std::vector<RenderedBatch> batches;
    VCardExportResult result;

    QByteArrayView at(size_t row) const { return batches[row / kRowsPerBatch].at(row % kRowsPerBatch); }
};

// The names one after the other, in key order, for the rows whose
// collation keys begin alike.
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

// One contact as a card: the card it came from with its fields put in, or
// one made from its fields; with its own UID or the one made from its key.
void writeRow(VCardWriter& writer, keptcards::UidMaker& uids, const CardBatch& batch, size_t row)
{
    const Utf8Values values = batch.rows.values(row);
    const KeptPart kept = batch.kept(row);
    const QByteArrayView uid = kept.uid.isEmpty() ? uids.of(batch.ids[row]) : kept.uid;
    if (kept.card.isEmpty())
        writer.write(values, uid);
    else
        writer.writeKept(values, uid, kept.card, kept.fingerprint);
}

// Renders the batches of rows the reading thread hands over, as they come,
// and makes the name prefixes the reading thread left to it. Once the
// reading is done, that thread renders beside this one: rendering is the
// larger part of the work.
class CardRenderer {
public:
    CardRenderer(VCardVersion version, const QUuid& uidNamespace, BatchQueue& queue)
        : mVersion(version), mNamespace(uidNamespace), mQueue(queue), mThread([this] { renderWhatComes(); })
    {
    }
    ~CardRenderer()
    {
        if (mThread.joinable()) {
            mQueue.stop();
            mThread.join();
        }
    }
    CardRenderer(const CardRenderer&) = delete;
    CardRenderer& operator=(const CardRenderer&) = delete;

    // Renders on the calling thread too until the last batch is done.
    Cards finish()
    {
        renderWhatComes();
        mThread.join();
        if (mError)
            std::rethrow_exception(mError);
        return std::move(mCards);
    }

private:
    void renderWhatComes()
    {
        try {
            const ContactMapper mapper;
            const CollationPrefixMaker maker;
            VCardWriter writer(mVersion, mapper);
            keptcards::UidMaker uids(mNamespace);
            qsizetype expectedBytes = 0;
            CardBatch batch;
            while (mQueue.pop(batch)) {
                writer.reserve(expectedBytes);
                RenderedBatch rendered;
                rendered.starts.reserve(batch.rows.size());
                for (size_t row = 0; row < batch.rows.size(); ++row) {
                    rendered.starts.push_back(writer.size());
                    writeRow(writer, uids, batch, row);
                }
                rendered.text = writer.takeBytes();
                expectedBytes = rendered.text.size() + rendered.text.size() / 4;
                rendered.prefixes =
                    batch.prefixes.empty() ? namePrefixes(batch.rows, maker) : std::move(batch.prefixes);
                const std::lock_guard lock(mMutex);
                if (mCards.batches.size() <= batch.sequence)
                    mCards.batches.resize(batch.sequence + 1);
                mCards.batches[batch.sequence] = std::move(rendered);
                mQueue.giveBack(std::move(batch));
            }
            const std::lock_guard lock(mMutex);
            mCards.result.lineBreaksChanged += writer.lineBreaksChanged();
            mCards.result.textReplaced += writer.textReplaced();
        } catch (...) {
            const std::lock_guard lock(mMutex);
            if (!mError)
                mError = std::current_exception();
            mQueue.stop();
        }
    }

    const VCardVersion mVersion;
    const QUuid mNamespace;
    BatchQueue& mQueue;
    std::mutex mMutex;
    Cards mCards;
    std::exception_ptr mError;
    std::thread mThread;
};

// Reads every contact in key order and hands the rows to the renderer in
// batches; keeps the names, which the sort needs. Whichever thread has time
// makes a batch's name prefixes: this one when batches wait for the
// renderer, the renderer when they do not.
void readContacts(Connection& connection, bool withKept, BatchQueue& queue, Names& names)
{
    const CollationPrefixMaker maker;
    CardBatch batch;
    Statement query(connection, contactsQuery(withKept, QString()));
    const int nameColumn = 1 + contact::indexOf(contact::Field::Name);
    while (query.step()) {
        // Column 0 is the key; the fields follow in table order.
        batch.ids.push_back(query.int64(0));
        for (int column = 1; column <= contact::kFieldCount; ++column) {
            const QByteArrayView value = query.text(column);
            batch.rows.addValue(value);
            if (column == nameColumn)
                names.add(value);
        }
        batch.addKept(keptPartOf(query));
        if (batch.rows.size() == kRowsPerBatch) {
            const CardBatch::Room room = batch.room();
            if (queue.waiting() >= 2)
                batch.prefixes = namePrefixes(batch.rows, maker);
            const size_t next = batch.sequence + 1;
            if (!queue.push(std::exchange(batch, queue.emptyBatch())))
                return;
            batch.sequence = next;
            batch.reserveLike(room, kRowsPerBatch);
        }
    }
    if (batch.rows.size() > 0)
        queue.push(std::move(batch));
}

// A few contacts, rendered in the order given.
std::pair<QByteArray, VCardExportResult> renderContacts(const ExportContacts& contacts, VCardVersion version)
{
    const ContactMapper mapper;
    VCardWriter writer(version, mapper);
    keptcards::UidMaker uids(contacts.uidNamespace);
    for (size_t row = 0; row < contacts.batch.rows.size(); ++row)
        writeRow(writer, uids, contacts.batch, row);
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

// Hands the cards to the file system straight from where they were rendered,
// many at a time, without copying them into one buffer first.
void writeInOrder(QSaveFile& file, const Cards& cards, const std::vector<uint32_t>& order)
{
    std::vector<iovec> pieces;
    pieces.reserve(kPiecesPerWrite);
    qsizetype sinceWriteback = 0;
    const auto writePieces = [&]() {
        size_t first = 0;
        while (first < pieces.size()) {
            const ssize_t written = ::writev(file.handle(), pieces.data() + first,
                                             static_cast<int>(std::min(pieces.size() - first, kPiecesPerWrite)));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                // The unfinished file goes with the QSaveFile.
                throw AppError(QStringLiteral("Cannot write %1: %2")
                                   .arg(file.fileName(), QString::fromLocal8Bit(std::strerror(errno))));
            }
            // A short write leaves the rest of a piece for the next call.
            size_t left = static_cast<size_t>(written);
            sinceWriteback += written;
            while (first < pieces.size() && left >= pieces[first].iov_len)
                left -= pieces[first++].iov_len;
            if (left > 0) {
                pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + left;
                pieces[first].iov_len -= left;
            }
        }
        pieces.clear();
        if (sinceWriteback >= kChunkBytes) {
            startWriteback(file);
            sinceWriteback = 0;
        }
    };
    for (const uint32_t row : order) {
        const QByteArrayView card = cards.at(row);
        pieces.push_back({const_cast<char*>(card.data()), static_cast<size_t>(card.size())});
        if (pieces.size() == kPiecesPerWrite)
            writePieces();
    }
    writePieces();
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
    // Rendering, the larger part of the work, goes on while SQLite reads.
    // Made, and stored the first time, before the reading begins.
    const QUuid uidNamespace = keptcards::uidNamespace(connection);
    const bool withKept = keptcards::exists(connection);
    // Every row is kept until its card is written, so the reader may run
    // ahead of the renderer and leave the sort less to wait for.
    BatchQueue queue(std::numeric_limits<size_t>::max());
    CardRenderer renderer(version, uidNamespace, queue);
    Names names;
    try {
        readContacts(connection, withKept, queue, names);
    } catch (...) {
        queue.finish({}, std::current_exception());
        throw;
    }
    queue.finish({});
    Cards cards = renderer.finish();
    cards.result.written = static_cast<int>(names.size());
    std::vector<CollationPrefix> prefixes;
    prefixes.reserve(names.size());
    for (RenderedBatch& batch : cards.batches) {
        prefixes.insert(prefixes.end(), batch.prefixes.begin(), batch.prefixes.end());
        batch.prefixes = {};
    }
    // The list's own order: the collation, then SQLite's NOCASE for names it
    // calls equal, then the key.
    std::vector<uint32_t> order(names.size());
    std::iota(order.begin(), order.end(), 0u);
    const auto nameOf = [&names](size_t row) { return names.at(row); };
    collationSortByPrefixes(order, prefixes, nameOf, false,
                            [&nameOf](uint32_t a, uint32_t b) { return asciiNoCase(nameOf(a), nameOf(b)); });
    writeFile(
        path,
        [&](QSaveFile& file) {
            writeInOrder(file, cards, order);
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
