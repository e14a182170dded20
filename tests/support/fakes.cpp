#include "support/fakes.h"

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
