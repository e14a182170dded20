#pragma once

#include <QString>

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Exclamation };
enum class MsgAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    QString title;
};

// Every message box of the program goes through this one seam, so that tests
// can script the user's answers and read back what was shown.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual MsgAnswer show(const MessageRequest& request) = 0;
};

// An empty title means the application title.
MsgAnswer msgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                 const QString& title = QString());

// nullptr puts the real message boxes back.
void setMessageSink(MessageSink* sink);

QString applicationTitle();
void setApplicationTitle(const QString& title);
