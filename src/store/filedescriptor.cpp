#include "store/filedescriptor.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "base/apperror.h"

FileDescriptor::~FileDescriptor()
{
    if (mFd >= 0)
        ::close(mFd);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (mFd >= 0)
            ::close(mFd);
        mFd = std::exchange(other.mFd, -1);
    }
    return *this;
}

void throwErrno(const QString& what, int error)
{
    throw AppError(what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)), error);
}

void writeAll(int fd, QByteArrayView bytes, const QString& path)
{
    const char* data = bytes.data();
    qsizetype size = bytes.size();
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throwErrno(QStringLiteral("Cannot write ") + path, errno);
        }
        data += written;
        size -= written;
    }
}
