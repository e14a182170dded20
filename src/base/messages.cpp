#include "base/messages.h"

Messages::Messages(MessageSink& sink, QString applicationTitle)
    : mSink(sink), mApplicationTitle(std::move(applicationTitle))
{
}

MsgAnswer Messages::msgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title)
{
    return mSink.show({text, buttons, icon, title.isEmpty() ? mApplicationTitle : title});
}

MsgAnswer Messages::msgBoxWithLinks(const QString& text)
{
    MessageRequest request{text, MsgButtons::Ok, MsgIcon::None, mApplicationTitle};
    request.links = true;
    return mSink.show(request);
}
