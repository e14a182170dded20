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
    // Web addresses in the text can be clicked (and, like the rest, copied).
    bool links = false;
};

// Where message boxes end up: real ones on screen, or a script in tests that
// records every box and answers from a queue.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual MsgAnswer show(const MessageRequest& request) = 0;
};

// The program's one message seam, and the application title that every box
// without a title of its own carries.
class Messages {
public:
    explicit Messages(MessageSink& sink, QString applicationTitle = QStringLiteral("Rondexa"));

    // An empty title means the application title.
    MsgAnswer msgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                     const QString& title = QString());

    // An OK box whose web addresses can be clicked.
    MsgAnswer msgBoxWithLinks(const QString& text);

    const QString& applicationTitle() const { return mApplicationTitle; }
    void setApplicationTitle(const QString& title) { mApplicationTitle = title; }

private:
    MessageSink& mSink;
    QString mApplicationTitle;
};
