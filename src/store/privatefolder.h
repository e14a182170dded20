#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>

#include "store/filedescriptor.h"

struct stat;

// A folder of the program's own below one of the user's base folders (the
// cache, the runtime folder), for files nobody else may read, swap or have
// the program delete: the workbooks, the dragged vCards, the window's socket.
// Every level below the base is opened without following a link and must be
// a real folder of this user's; the last one is made readable by the user
// alone. Work inside goes through the open folder, never through its path
// again, so a link planted meanwhile is never followed either.
class PrivateFolder {
public:
    // Opens base/below, making what is missing (0700, the base's own missing
    // levels too). Throws AppError when that cannot be done or a level is a
    // link, no folder, or another user's.
    static PrivateFolder make(const QString& base, const QString& below);
    // The folder as it is, made by nobody; none when it is missing or is not
    // the user's private folder.
    static std::optional<PrivateFolder> existing(const QString& base, const QString& below);

    const QString& path() const { return mPath; }
    int descriptor() const { return mFolder.get(); }

    // Removes each entry that is no folder and that which picks; a link is
    // removed itself, never followed.
    void removeFiles(const std::function<bool(const char* name, const struct stat& info)>& which) const;
    // A new file of that name, readable and writable by the user alone;
    // none when the name is taken. Throws AppError on any other failure.
    std::optional<FileDescriptor> createFile(const QByteArray& name) const;
    // The file of that name opened with flags (with O_CREAT made readable
    // and writable by the user alone), never through a link; closed when it
    // cannot be opened, errno saying why.
    FileDescriptor openFile(const QByteArray& name, int flags) const;

private:
    PrivateFolder(QString path, FileDescriptor folder) : mPath(std::move(path)), mFolder(std::move(folder)) {}

    QString mPath;
    FileDescriptor mFolder;
};
