#pragma once

#include <QStringList>

#include "base/messages.h"
#include "base/programend.h"
#include "store/session.h"
#include "ui/qtmessagesink.h"

// The running program: it owns what every window and command shares (the
// message boxes, the program's end, the connection, the view settings, the
// folder the program lives in) and hands it down as one session.
class Application {
public:
    Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Loads the main window, shows it, imports the vCard files given and runs
    // until the program ends.
    int run(const QStringList& importFiles = {});

    Session& session() { return mSession; }

private:
    QtMessageSink mSink;
    Messages mMessages;
    ImmediateEnd mEnd;
    Session mSession;
};
