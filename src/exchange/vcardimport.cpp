#include "exchange/vcardimport.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "base/apperror.h"
#include "exchange/cardbatch.h"
#include "exchange/carddecoder.h"
#include "exchange/cardfields.h"
#include "exchange/vcardreader.h"
#include "exchange/vcardsyntax.h"
#include "model/storedtext.h"
#include "store/casefolding.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/keptcards.h"
#include "store/statement.h"
#include "store/takennames.h"
#include "store/writetransaction.h"

namespace {

using contact::Field;

// Often enough for a progress dialog to stay responsive, seldom enough to
// cost nothing.
const int kCardsPerProgress = 64;
const size_t kCardsPerBatch = 256;

void addStoredNames(Connection& connection, TakenNames& names)
{
    Statement query(connection, contact::namesQuery());
    while (query.step())
        names.add(query.text(1));
}

// The card's UID as written.
QByteArrayView uidOf(const RawCard& card)
{
    for (const RawProperty& property : card.properties) {
        if (property.isProperty && property.group.isEmpty() && vcardsyntax::equalsIgnoreCase(property.name, "UID"))
            return property.value;
    }
    return {};
}

// What a path names when it is no regular file, as the summary says it.
QString notAFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe, not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket, not a file");
    return QStringLiteral("not a regular file");
}

struct FileHandle {
    int handle;
    ~FileHandle()
    {
        if (handle >= 0)
            ::close(handle);
    }
};

// A copy of the whole file. Only a regular file is read: a pipe would keep
// the window waiting for a writer that may never come, and a device such as
// /dev/zero never ends. The file is not mapped: another program that cuts it
// short while it is read would bring the whole program down.
bool readFile(const QString& path, QByteArray& bytes, QString& error)
{
    const QByteArray name = QFile::encodeName(path);
    // Refused before it is opened where possible: opening some devices does
    // something.
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = notAFile(info.st_mode);
        return false;
    }
    // Without O_NONBLOCK, opening a pipe that has taken the file's place
    // since would wait for a writer.
    const FileHandle file{::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    const int handle = file.handle;
    if (handle < 0 || ::fstat(handle, &info) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = notAFile(info.st_mode);
        return false;
    }
    try {
        bytes.resize(static_cast<qsizetype>(info.st_size));
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("too large to be read into memory");
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(handle, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (got == 0) {
            error = QStringLiteral("the file became shorter while it was read");
            return false;
        }
        done += got;
    }
    return true;
}

// All of a contact's values in one hash; moving text from one field to the
// next changes it.
size_t hashOf(const Utf8Values& values)
{
    size_t hash = 0;
    for (const QByteArrayView value : values)
        hash = qHash(value, hash * 31 + static_cast<size_t>(value.size()));
    return hash;
}

// What is kept beside a card's fields. The fields' fingerprint costs a
// little for every byte; it is made here only while the writing thread is
// behind, and there otherwise.
KeptPart keptPart(const Utf8Values& values, QByteArrayView uid, QByteArrayView card, bool fingerprinted)
{
    const bool keeps = !uid.isEmpty() || !card.isEmpty();
    return {uid, card, keeps && fingerprinted ? keptcards::fingerprintOf(values) : 0};
}

// The reading side, on a thread of its own: reads the cards and maps them,
// plain cards straight from the file's bytes, the rest through the decoder
// and the mapper.
void readCards(QByteArrayView data, const ContactMapper& mapper, BatchQueue& queue)
{
    PlainCardMapper plain(mapper.dates(), data);
    CardDecoder decoder;
    CardBatch batch;
    VCardReadResult read;
    try {
        read = VCardReader::read(data, [&](const RawCard& card) {
            Utf8Values values;
            PlainCardMapper::Rest rest;
            if (plain.map(card, values, rest)) {
                // A card just as an export writes it from its fields needs
                // only its UID kept.
                CardMarks marks;
                marks.keptInRemarks = rest.keptInRemarks;
                batch.add(values, marks,
                          keptPart(values, rest.uid, rest.exact ? QByteArrayView() : card.text, batch.fingerprinted));
            } else {
                const ImportedContact imported = mapper.fromCard(decoder.decode(card));
                const ContactUtf8 utf8(imported.contact);
                batch.add(utf8.values, imported.marks,
                          keptPart(utf8.values, uidOf(card), card.text, batch.fingerprinted));
            }
            if (batch.rows.size() < kCardsPerBatch)
                return true;
            const CardBatch::Room room = batch.room();
            if (!queue.push(std::exchange(batch, queue.emptyBatch())))
                return false;
            batch.reserveLike(room, kCardsPerBatch);
            batch.fingerprinted = queue.waiting() >= 2;
            return true;
        });
        if (read.ok() && batch.rows.size() > 0)
            queue.push(std::move(batch));
    } catch (...) {
        queue.finish(read, std::current_exception());
        return;
    }
    queue.finish(read);
}

// The thread that reads the file while the calling one writes: told to stop
// and waited for however the writing ends.
class ReaderThread {
public:
    ReaderThread(QByteArrayView data, const ContactMapper& mapper, BatchQueue& queue)
        : mQueue(queue), mThread([data, &mapper, &queue] { readCards(data, mapper, queue); })
    {
    }
    ~ReaderThread()
    {
        mQueue.stop();
        mThread.join();
    }
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;

private:
    BatchQueue& mQueue;
    std::thread mThread;
};

// The writing side: skips what the editor would refuse and inserts the new
// contacts with one prepared statement.
class Importer {
public:
    Importer(Connection& connection, const ImportProgress& progress, VCardImportResult& result)
        : mConnection(connection), mProgress(progress), mResult(result), mStoredNames(CaseFolding::forUserLocale()),
          mInsert(connection, contact::insertParametersStatement())
    {
    }

    // False when the progress callback cancelled.
    bool run(QByteArrayView data)
    {
        BatchQueue queue;
        const ContactMapper mapper;
        {
            // The reading starts first; the stored names are read and the
            // cards counted while the first batch is made.
            const ReaderThread reader(data, mapper, queue);
            addStoredNames(mConnection, mStoredNames);
            // A contact deleted by another program left its card behind; a
            // new contact may be given its key.
            keptcards::removeOrphans(mConnection);
            const int expected = VCardReader::countCards(data);
            mAddedCards.reserve(static_cast<size_t>(expected));
            CardBatch batch;
            while (!mCancelled && queue.pop(batch)) {
                for (size_t row = 0; row < batch.rows.size() && !mCancelled; ++row) {
                    add(batch.rows.values(row), batch.marks[row], batch.kept(row), batch.fingerprinted);
                    if (mResult.cards % kCardsPerProgress == 0)
                        report(expected);
                }
                queue.giveBack(std::exchange(batch, CardBatch()));
            }
        }
        if (queue.error())
            std::rethrow_exception(queue.error());
        if (mCancelled)
            return false;
        if (!queue.read().ok())
            throw AppError(QStringLiteral("line %1: %2").arg(queue.read().errorLine).arg(queue.read().error));
        report(mResult.cards);
        return !mCancelled;
    }

private:
    void report(int expected)
    {
        mCancelled = mCancelled || (mProgress && !mProgress(mResult.cards, std::max(expected, mResult.cards)));
    }

    void add(const Utf8Values& values, const CardMarks& marks, const KeptPart& kept, bool fingerprinted)
    {
        ++mResult.cards;
        const QByteArrayView name = valueOf(values, Field::Name);
        if (isBlankUtf8(name)) {
            ++mResult.withoutName;
            return;
        }
        // The editor refuses a name the table holds, letter case aside. Its
        // Update can make two contacts of one name, though, and an export of
        // them has to come back whole: within the file only the very same
        // contact again is left out.
        const size_t hash = hashOf(values);
        if (mStoredNames.contains(name) || isRepeat(values, hash)) {
            skipAsAlreadyThere(textFromUtf8(name));
            return;
        }
        insert(values);
        mAddedCards.emplace(hash, mConnection.lastInsertId());
        keep(values, kept, fingerprinted);
        ++mResult.added;
        mResult.keptInRemarks += marks.keptInRemarks ? 1 : 0;
        mResult.agentsNotKept += marks.agentLeftOut ? 1 : 0;
        mResult.textReplaced += marks.textReplaced ? 1 : 0;
        mResult.nulRemoved += marks.nulRemoved ? 1 : 0;
    }

    // The summary names the first few different names; a file that repeats
    // one name throughout says it once.
    void skipAsAlreadyThere(const QString& name)
    {
        ++mResult.alreadyThere;
        if (!mResult.skippedNames.contains(name) && mResult.skippedNames.size() < VCardImportResult::kSkippedNamesKept)
            mResult.skippedNames << name;
        if (mResult.skippedNames.contains(name))
            ++mResult.skippedNamed;
    }

    // True when the file had the very same contact before. Contacts are told
    // apart by a hash of all their values; only one whose hash an earlier
    // contact of the file had is read back from the table and compared.
    bool isRepeat(const Utf8Values& values, size_t hash)
    {
        const auto [first, last] = mAddedCards.equal_range(hash);
        for (auto added = first; added != last; ++added) {
            if (storedValuesAre(added->second, values))
                return true;
        }
        return false;
    }

    bool storedValuesAre(qint64 id, const Utf8Values& values)
    {
        if (!mRowQuery) {
            // The key first, then the fields in table order.
            const QStringList columns = contact::columnNames();
            mRowQuery.emplace(mConnection, QStringLiteral("select ") + columns.join(QLatin1Char(',')) +
                                               QStringLiteral(" from tblContact where ") + columns.first() +
                                               QStringLiteral(" = ?1"));
        }
        Statement& query = *mRowQuery;
        query.bindInt64(1, id);
        bool same = query.step();
        for (int column = 1; same && column <= contact::kFieldCount; ++column)
            same = query.text(column) == values[static_cast<size_t>(column - 1)];
        query.reset();
        return same;
    }

    void insert(const Utf8Values& values)
    {
        // An empty field is stored as empty text, as the editor saves it.
        for (size_t at = 0; at < values.size(); ++at)
            mInsert.bindText(static_cast<int>(at) + 1, values[at]);
        mInsert.step();
        mInsert.reset();
    }

    // The card's UID and whatever of it the fields do not carry, beside the
    // contact just inserted. The tables are made by the first import that
    // has something to keep.
    void keep(const Utf8Values& values, const KeptPart& kept, bool fingerprinted)
    {
        if (kept.uid.isEmpty() && kept.card.isEmpty())
            return;
        if (!mKept) {
            keptcards::prepare(mConnection);
            mKept.emplace(mConnection);
        }
        mKept->keep(mConnection.lastInsertId(), kept.uid, kept.card,
                    fingerprinted ? kept.fingerprint : keptcards::fingerprintOf(values));
    }

    Connection& mConnection;
    const ImportProgress& mProgress;
    VCardImportResult& mResult;
    // The names the table held before the file, folded as the editor compares them.
    TakenNames mStoredNames;
    // Every contact the file added: the hash of its values, and its key.
    std::unordered_multimap<size_t, qint64> mAddedCards;
    std::optional<Statement> mRowQuery;
    Statement mInsert;
    std::optional<keptcards::Writer> mKept;
    bool mCancelled = false;
};

} // namespace

VCardImportResult importVCardFile(Connection& connection, const QString& path, const ImportProgress& progress)
{
    VCardImportResult failed;
    failed.file = path;
    QByteArray data;
    if (!readFile(path, data, failed.error))
        return failed;

    VCardImportResult result = failed;
    // A cancel rolls the file's contacts back like any failure.
    struct Cancelled {};
    try {
        inWriteTransaction(connection, [&] {
            if (!Importer(connection, progress, result).run(data))
                throw Cancelled();
            return true;
        });
    } catch (const Cancelled&) {
        failed.cancelled = true;
        return failed;
    } catch (const AppError& e) {
        failed.error = e.description();
        return failed;
    }
    result.imported = true;
    return result;
}

QString summaryLine(const VCardImportResult& result)
{
    const QString file = QFileInfo(result.file).fileName();
    if (result.cancelled)
        return QStringLiteral("%1: cancelled, nothing imported").arg(file);
    if (!result.imported)
        return QStringLiteral("%1: nothing imported: %2").arg(file, result.error);
    QStringList parts{QStringLiteral("%1 added").arg(result.added)};
    if (result.alreadyThere > 0) {
        // A few names say which; a long list would not fit the line.
        QStringList first;
        for (const QString& name : result.skippedNames)
            first << name.simplified();
        QString names = first.join(QStringLiteral(", "));
        if (result.alreadyThere > result.skippedNamed)
            names += QStringLiteral(" and %1 more").arg(result.alreadyThere - result.skippedNamed);
        parts << QStringLiteral("%1 skipped as already there (%2)").arg(result.alreadyThere).arg(names);
    }
    if (result.withoutName > 0)
        parts << QStringLiteral("%1 without a name skipped").arg(result.withoutName);
    if (result.keptInRemarks > 0)
        parts << QStringLiteral("%1 kept partly in the remarks").arg(result.keptInRemarks);
    if (result.textReplaced > 0)
        parts << QStringLiteral("%1 with characters that could not be read").arg(result.textReplaced);
    if (result.nulRemoved > 0)
        parts << QStringLiteral("%1 with NUL characters taken out").arg(result.nulRemoved);
    if (result.agentsNotKept > 0)
        parts << (result.agentsNotKept == 1
                      ? QStringLiteral("1 embedded agent card not kept")
                      : QStringLiteral("%1 embedded agent cards not kept").arg(result.agentsNotKept));
    return file + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}
