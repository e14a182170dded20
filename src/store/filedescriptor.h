#pragma once

#include <utility>

#include <QByteArrayView>
#include <QString>

// An open file descriptor, closed when let go of.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : mFd(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : mFd(std::exchange(other.mFd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return mFd; }
    bool isOpen() const { return mFd >= 0; }
    // Hands the descriptor over; it stays open.
    int release() { return std::exchange(mFd, -1); }

private:
    int mFd;
};

// Throws AppError "what: " and the system's text for error, numbered error.
[[noreturn]] void throwErrno(const QString& what, int error);

// Writes all of bytes, through interruptions and short writes; throws
// AppError "Cannot write " path and the system's text.
void writeAll(int fd, QByteArrayView bytes, const QString& path);
