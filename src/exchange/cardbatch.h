#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "exchange/cardfields.h"
#include "exchange/utf8rows.h"
#include "exchange/vcardcard.h"

// What goes with a contact's fields between the data file and a card: its
// UID, and the card it came from when its fields do not carry all of that.
// Views into the batch that holds them.
struct KeptPart {
    // Empty when the card had none or the contact came from no card.
    QByteArrayView uid;
    QByteArrayView card;
    // The fields' fingerprint when the card was kept.
    quint64 fingerprint = 0;
};

// Cards of a file, mapped, on their way from the thread that reads the file to
// the one that writes them: the values, what the summary counts, and what is
// kept of each card beside its fields. The cards' texts lie in one block, as
// the values do: thousands of small copies made on one thread and freed on
// another cost more than the cards' mapping.
struct CardBatch {
    Utf8Rows rows;
    std::vector<CardMarks> marks;
    // An export's: each row's key, which makes the UID of a contact without one.
    std::vector<qint64> ids;
    // An import's: the kept parts carry the fields' fingerprints.
    bool fingerprinted = false;

    void add(const Utf8Values& values, CardMarks cardMarks, const KeptPart& part)
    {
        rows.add(values);
        marks.push_back(cardMarks);
        addKept(part);
    }
    // What is kept of the row whose values were just added.
    void addKept(const KeptPart& part)
    {
        mKept.push_back({mKeptText.size(), part.uid.size(), part.card.size(), part.fingerprint});
        mKeptText.append(part.uid.data(), static_cast<size_t>(part.uid.size()));
        mKeptText.append(part.card.data(), static_cast<size_t>(part.card.size()));
    }
    KeptPart kept(size_t row) const
    {
        const KeptAt& at = mKept[row];
        const char* start = mKeptText.data() + at.start;
        return {QByteArrayView(start, at.uidSize), QByteArrayView(start + at.uidSize, at.cardSize), at.fingerprint};
    }
    // The bytes this batch's values and kept parts took.
    struct Room {
        size_t values;
        size_t kept;
    };
    Room room() const { return {rows.bytes(), mKeptText.size()}; }
    // Empty, with the room it had.
    void clear()
    {
        rows.clear();
        marks.clear();
        ids.clear();
        fingerprinted = false;
        mKeptText.clear();
        mKept.clear();
    }
    // Room for count rows that take about as much as a batch took before, and
    // a quarter more: the next batch is not copied as it grows.
    void reserveLike(Room before, size_t count)
    {
        rows.reserve(before.values + before.values / 4, count);
        mKeptText.reserve(before.kept + before.kept / 4);
        mKept.reserve(count);
    }

private:
    struct KeptAt {
        size_t start;
        qsizetype uidSize;
        qsizetype cardSize;
        quint64 fingerprint;
    };
    std::string mKeptText;
    std::vector<KeptAt> mKept;
};

// Hands batches of mapped cards from the thread that reads a file to the one
// that writes them. Bounded, so that a large file is never held whole.
class BatchQueue {
public:
    // Blocks while the queue is full; false when the writer has stopped and
    // the reader should too.
    bool push(CardBatch&& batch);
    // Blocks until a batch comes; false when no more will.
    bool pop(CardBatch& batch);
    // The reader is done: how the reading ended, or what it threw.
    void finish(VCardReadResult read, std::exception_ptr error = nullptr);
    // The writer stops taking batches.
    void stop();
    // How many batches wait for the writer now.
    size_t waiting();
    // The writer is done with a batch: the reader fills it again, so that
    // its memory is neither freed on one thread while the other allocates,
    // nor allocated anew.
    void giveBack(CardBatch&& batch);
    // An empty batch: one given back, or a new one.
    CardBatch emptyBatch();

    const VCardReadResult& read() const { return mRead; }
    std::exception_ptr error() const { return mError; }

private:
    // At most this many batches wait for the writer.
    static constexpr size_t kMostBatches = 8;
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::deque<CardBatch> mBatches;
    std::vector<CardBatch> mGivenBack;
    bool mFinished = false;
    bool mStopped = false;
    VCardReadResult mRead;
    std::exception_ptr mError;
};
