#include "childprocess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

// poll() that goes on after a signal with the time that is left.
bool readable(int fd, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

void ChildChannel::say(const QByteArray& line) const
{
    const QByteArray whole = line + '\n';
    writeAll(mUp, whole.constData(), static_cast<size_t>(whole.size()));
}

char ChildChannel::await(int timeoutMs) const
{
    if (!readable(mDown, timeoutMs))
        return 0;
    char byte = 0;
    return ::read(mDown, &byte, 1) == 1 ? byte : 0;
}

ChildProcess::ChildProcess(const std::function<int(const ChildChannel&)>& body)
{
    int up[2];
    int down[2];
    if (::pipe2(up, O_CLOEXEC) != 0)
        return;
    if (::pipe2(down, O_CLOEXEC) != 0) {
        ::close(up[0]);
        ::close(up[1]);
        return;
    }
    mPid = ::fork();
    if (mPid == 0) {
        ::close(up[0]);
        ::close(down[1]);
        const ChildChannel channel(up[1], down[0]);
        int status = 3;
        try {
            status = body(channel);
        } catch (const std::exception& e) {
            channel.say(QByteArray("!") + e.what());
        } catch (...) {
            channel.say("!unknown exception");
        }
        ::_exit(status);
    }
    ::close(up[1]);
    ::close(down[0]);
    mUp = up[0];
    mDown = down[1];
    if (mPid < 0) {
        mEnd = true;
        mStatus = -1;
    }
}

ChildProcess::~ChildProcess()
{
    if (!mStatus && mPid > 0) {
        ::kill(mPid, SIGKILL);
        int status = 0;
        while (::waitpid(mPid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (mUp >= 0)
        ::close(mUp);
    if (mDown >= 0)
        ::close(mDown);
}

std::optional<QByteArray> ChildProcess::readLine(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const qsizetype end = mBuffer.indexOf('\n');
        if (end >= 0) {
            const QByteArray line = mBuffer.left(end);
            mBuffer.remove(0, end + 1);
            return line;
        }
        if (mEnd)
            return std::nullopt;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readable(mUp, static_cast<int>(left.count())))
            return std::nullopt;
        char chunk[4096];
        const ssize_t got = ::read(mUp, chunk, sizeof chunk);
        if (got > 0)
            mBuffer.append(chunk, got);
        else if (got == 0 || errno != EINTR)
            mEnd = true;
    }
}

void ChildProcess::send(char byte)
{
    if (mDown >= 0)
        writeAll(mDown, &byte, 1);
}

void ChildProcess::kill()
{
    if (!mStatus && mPid > 0)
        ::kill(mPid, SIGKILL);
}

std::optional<int> ChildProcess::wait(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!mStatus) {
        int status = 0;
        const pid_t done = ::waitpid(mPid, &status, WNOHANG);
        if (done == mPid)
            mStatus = status;
        else if (done < 0 && errno != EINTR)
            mStatus = -1;
        else if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return mStatus;
}

QList<QByteArray> ChildProcess::remainingLines()
{
    QList<QByteArray> lines;
    while (const std::optional<QByteArray> line = readLine(2000))
        lines << *line;
    return lines;
}

QByteArray describeStatus(int status)
{
    if (status == -1)
        return "not waited for";
    if (WIFEXITED(status))
        return "exited with " + QByteArray::number(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "killed by signal " + QByteArray::number(WTERMSIG(status));
    return "status " + QByteArray::number(status);
}
