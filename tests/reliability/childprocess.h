#pragma once

#include <functional>
#include <optional>

#include <sys/types.h>

#include <QByteArray>
#include <QList>

// What a forked child has of the test: a channel of lines up, of bytes down.
class ChildChannel {
public:
    ChildChannel(int up, int down) : mUp(up), mDown(down) {}

    // One line in one write of less than a pipe's atomic size, so that a kill
    // never leaves half a line for the test to misread.
    void say(const QByteArray& line) const;
    // The next byte the test sends; 0 on timeout or when the test closed its end.
    char await(int timeoutMs) const;

private:
    int mUp;
    int mDown;
};

// A child made with fork() that runs one function and leaves with _exit: the
// test process's exit handlers (LeakSanitizer's among them) must not run in a
// copy of it. A body that throws says "!" and the description, and exits 3.
class ChildProcess {
public:
    explicit ChildProcess(const std::function<int(const ChildChannel&)>& body);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next whole line without its line feed; nothing on timeout or when
    // the child has gone and every line was read.
    std::optional<QByteArray> readLine(int timeoutMs);
    void send(char byte);
    void kill();
    // The wait status once the child has ended; nothing on timeout.
    std::optional<int> wait(int timeoutMs);
    // Every whole line still in the pipe; for a child that has ended.
    QList<QByteArray> remainingLines();

private:
    pid_t mPid = -1;
    int mUp = -1;
    int mDown = -1;
    QByteArray mBuffer;
    bool mEnd = false;
    std::optional<int> mStatus;
};

// A description of a wait status for failure messages.
QByteArray describeStatus(int status);
