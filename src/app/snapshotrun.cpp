#include "app/snapshotrun.h"

#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

#include "app/startoptions.h"
#include "base/apperror.h"
#include "store/connection.h"
#include "store/snapshots.h"

int runSnapshotCommand(const StartOptions& options, Connection& connection, QTextStream& out, QTextStream& err)
{
    const QString dataFile = connection.path();
    if (options.mode == StartOptions::Mode::Restore) {
        const QString snapshot = snapshotPath(dataFile, options.snapshot);
        try {
            const QString saved = restoreSnapshot(connection, snapshot);
            out << "Restored " << QFileInfo(snapshot).fileName() << "; the data file as it was is kept as "
                << QFileInfo(saved).fileName() << Qt::endl;
            return 0;
        } catch (const AppError& e) {
            err << "rondexa: " << e.description() << Qt::endl;
            return 1;
        }
    }
    const std::vector<SnapshotInfo> snapshots = listSnapshots(dataFile);
    if (snapshots.empty()) {
        out << "There are no snapshots in " << snapshotFolder(dataFile) << " yet." << Qt::endl;
        return 0;
    }
    const QLocale locale;
    out << "Snapshots in " << snapshotFolder(dataFile) << ", oldest first:" << Qt::endl;
    for (const SnapshotInfo& snapshot : snapshots) {
        const QString contacts = snapshot.contacts < 0    ? QStringLiteral("unreadable")
                                 : snapshot.contacts == 1 ? QStringLiteral("1 contact")
                                                          : QStringLiteral("%L1 contacts").arg(snapshot.contacts);
        out << QFileInfo(snapshot.path).fileName() << "  "
            << snapshot.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << "  "
            << locale.formattedDataSize(snapshot.bytes) << "  " << contacts << Qt::endl;
    }
    return 0;
}
