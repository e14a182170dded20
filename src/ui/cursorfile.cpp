#include "ui/cursorfile.h"

#include <QImage>

#include "base/apperror.h"
#include "store/paths.h"

QCursor loadCursorFile(const QString& path)
{
    const QByteArray bytes = readRegularFile(path);
    // ICONDIR (reserved 0, type 2 for a cursor, count) and the first entry,
    // whose bytes 4 to 7 hold the hotspot.
    const auto u16 = [&bytes](int at) {
        return static_cast<int>(static_cast<unsigned char>(bytes[at])) |
               (static_cast<int>(static_cast<unsigned char>(bytes[at + 1])) << 8);
    };
    if (bytes.size() < 22 || u16(0) != 0 || u16(2) != 2 || u16(4) < 1)
        throw AppError(QStringLiteral("%1 is not a cursor file").arg(path));
    const int hotX = u16(10);
    const int hotY = u16(12);
    QImage image;
    if (!image.loadFromData(bytes, "CUR") || image.isNull())
        throw AppError(QStringLiteral("%1 is not a cursor file").arg(path));
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}
