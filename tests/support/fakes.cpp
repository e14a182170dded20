#include "support/fakes.h"

#include "app/programend.h"

ScriptedMessages::ScriptedMessages()
{
    setMessageSink(this);
}

ScriptedMessages::~ScriptedMessages()
{
    setMessageSink(nullptr);
}

MsgAnswer ScriptedMessages::show(const MessageRequest& request)
{
    mShown.push_back(request);
    if (request.buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    if (mAnswers.empty())
        return MsgAnswer::No;
    const MsgAnswer next = mAnswers.front();
    mAnswers.pop_front();
    return next;
}

QStringList ScriptedMessages::texts() const
{
    QStringList all;
    for (const auto& request : mShown)
        all << request.text;
    return all;
}

RecordedEnd::RecordedEnd()
{
    setProgramEndHandler([this](int status) {
        mEnded = true;
        mStatus = status;
    });
}

RecordedEnd::~RecordedEnd()
{
    setProgramEndHandler(nullptr);
}
