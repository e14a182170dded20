#include "app/messagebox.h"

#include "app/qtmessagesink.h"

namespace {

MessageSink* gSink = nullptr;
QString gApplicationTitle = QStringLiteral("Rondexa");

MessageSink& sink()
{
    static QtMessageSink real;
    return gSink ? *gSink : real;
}

} // namespace

MsgAnswer msgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title)
{
    MessageRequest request{text, buttons, icon, title.isEmpty() ? gApplicationTitle : title};
    return sink().show(request);
}

void setMessageSink(MessageSink* sink)
{
    gSink = sink;
}

QString applicationTitle()
{
    return gApplicationTitle;
}

void setApplicationTitle(const QString& title)
{
    gApplicationTitle = title;
}
