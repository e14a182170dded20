#include "store/datafiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "base/apperror.h"

namespace {

[[noreturn]] void throwErrno(const QString& what, int error)
{
    throw AppError(what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)), error);
}

class Fd {
public:
    explicit Fd(int fd) : mFd(fd) {}
    ~Fd()
    {
        if (mFd >= 0)
            ::close(mFd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return mFd; }

private:
    int mFd;
};

void writeAll(int fd, const char* data, ssize_t size, const QString& path)
{
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

} // namespace

void makeFolder(const QString& path)
{
    // Without a known home the data folder's path would start at the root.
    if (!path.startsWith(QLatin1Char('/')) || path.lastIndexOf(QLatin1Char('/')) == 0)
        throw AppError(QStringLiteral("Cannot create folder %1: there is no home folder to keep it in").arg(path), 76);
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0)
        throwErrno(QStringLiteral("Cannot create folder ") + path, errno);
}

void copyTemplate(const QString& templateFile, const QString& dataFile)
{
    const QByteArray source = QFile::encodeName(templateFile);
    const QByteArray target = QFile::encodeName(dataFile);
    QByteArray temporary = target + ".XXXXXX";

    Fd in(::open(source.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        throwErrno(QStringLiteral("Cannot read ") + templateFile, errno);
    Fd out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (out.get() < 0)
        throwErrno(QStringLiteral("Cannot create ") + dataFile, errno);
    try {
        ::fchmod(out.get(), 0600);
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
            if (got == 0)
                break;
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throwErrno(QStringLiteral("Cannot read ") + templateFile, errno);
            }
            writeAll(out.get(), buffer, got, dataFile);
        }
        if (::fsync(out.get()) != 0)
            throwErrno(QStringLiteral("Cannot write ") + dataFile, errno);
        // link() refuses to replace an existing name, so a data file that turned
        // up meanwhile is never overwritten.
        if (::link(temporary.constData(), target.constData()) != 0)
            throwErrno(QStringLiteral("Cannot create ") + dataFile, errno);
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
    ::unlink(temporary.constData());
}
