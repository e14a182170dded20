#pragma once

#include <deque>
#include <ostream>
#include <vector>

#include <QStringList>

#include "base/messages.h"
#include "base/programend.h"

// Stands in for the user at every message box: records what was shown and
// answers questions from a queue (No when the queue runs dry).
class ScriptedMessages : public MessageSink {
public:
    MsgAnswer show(const MessageRequest& request) override;

    void answer(MsgAnswer next) { mAnswers.push_back(next); }
    const std::vector<MessageRequest>& shown() const { return mShown; }
    QStringList texts() const;
    void clear() { mShown.clear(); }

private:
    std::deque<MsgAnswer> mAnswers;
    std::vector<MessageRequest> mShown;
};

// Records the program's end instead of ending the test process.
class RecordedEnd : public ProgramEnd {
public:
    void endProgram(int status) override
    {
        mEnded = true;
        mStatus = status;
    }
    bool ended() const { return mEnded; }
    int status() const { return mStatus; }
    void reset() { *this = RecordedEnd(); }

private:
    bool mEnded = false;
    int mStatus = -1;
};

// Lets test failures show texts as texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
