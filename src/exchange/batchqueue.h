#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

#include "exchange/cardbatch.h"
#include "exchange/vcardreadresult.h"

// Hands batches of mapped cards from the thread that reads a file to the one
// that writes them. Bounded, so that a large file is never held whole.
class BatchQueue {
public:
    // At most this many batches wait; a reader that keeps everything it
    // reads anyway need not wait for the writer.
    explicit BatchQueue(size_t mostBatches = 8) : mMostBatches(mostBatches) {}

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
    const size_t mMostBatches;
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::deque<CardBatch> mBatches;
    std::vector<CardBatch> mGivenBack;
    bool mFinished = false;
    bool mStopped = false;
    VCardReadResult mRead;
    std::exception_ptr mError;
};
