#include "exchange/cardbatch.h"

bool BatchQueue::push(CardBatch&& batch)
{
    std::unique_lock lock(mMutex);
    mChanged.wait(lock, [this] { return mStopped || mBatches.size() < kMostBatches; });
    if (mStopped)
        return false;
    mBatches.push_back(std::move(batch));
    mChanged.notify_all();
    return true;
}

bool BatchQueue::pop(CardBatch& batch)
{
    std::unique_lock lock(mMutex);
    mChanged.wait(lock, [this] { return mStopped || mFinished || !mBatches.empty(); });
    if (mStopped || mBatches.empty())
        return false;
    batch = std::move(mBatches.front());
    mBatches.pop_front();
    mChanged.notify_all();
    return true;
}

void BatchQueue::finish(VCardReadResult read, std::exception_ptr error)
{
    const std::lock_guard lock(mMutex);
    mRead = std::move(read);
    mError = error;
    mFinished = true;
    mChanged.notify_all();
}

void BatchQueue::stop()
{
    const std::lock_guard lock(mMutex);
    mStopped = true;
    mChanged.notify_all();
}

size_t BatchQueue::waiting()
{
    const std::lock_guard lock(mMutex);
    return mBatches.size();
}

void BatchQueue::giveBack(CardBatch&& batch)
{
    const std::lock_guard lock(mMutex);
    // As many as can wait, and the one each side holds.
    if (mGivenBack.size() < 2)
        mGivenBack.push_back(std::move(batch));
}

CardBatch BatchQueue::emptyBatch()
{
    CardBatch batch;
    {
        const std::lock_guard lock(mMutex);
        if (!mGivenBack.empty()) {
            batch = std::move(mGivenBack.back());
            mGivenBack.pop_back();
        }
    }
    batch.clear();
    return batch;
}
