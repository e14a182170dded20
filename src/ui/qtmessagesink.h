#pragma once

#include "base/messages.h"

class QtMessageSink : public MessageSink {
public:
    MsgAnswer show(const MessageRequest& request) override;
};

// "\r\n", "\r" and "\n" each stand for one line break in a message text.
QString displayedMessageText(const QString& text);
// The same text as HTML, its web addresses made links (the program's own
// texts only: a contact's text never becomes one).
QString displayedMessageHtml(const QString& text);
