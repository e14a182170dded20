#include "base/messages.h"

Messages::Messages(MessageSink& sink, QString applicationTitle)
    : mSink(sink), mApplicationTitle(std::move(applicationTitle))
{
}

MsgAnswer Messages::msgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title)
{
    return mSink.show({text, buttons, icon, title.isEmpty() ? mApplicationTitle : title});
}
