#include "app/batchrun.h"

#include <QTextStream>

#include "app/snapshotrun.h"
#include "app/startoptions.h"
#include "app/syncrun.h"
#include "base/apperror.h"
#include "base/errortrap.h"
#include "exchange/vcardexport.h"
#include "exchange/vcardimport.h"
#include "store/connection.h"
#include "store/datafiles.h"
#include "store/paths.h"
#include "store/snapshots.h"

namespace {

// The data file the window would open, made from the template when there
// is none yet; the first failure ends the run. Without a home folder the
// data folder's own making says so.
void openDataFile(Connection& connection, const QString& applicationFolder)
{
    const DataPaths paths = dataPaths(applicationFolder);
    NoTrap steps;
    if (!prepareDataFile(paths, steps))
        throw AppError(missingTemplateText(paths));
    // Nothing waits for the check here, so it is done before anything else.
    connection.open(paths.connectionString, Connection::Check::BeforeReturning);
}

} // namespace

int runBatch(const StartOptions& options, const QString& applicationFolder, QTextStream& out, QTextStream& err)
{
    switch (options.mode) {
    case StartOptions::Mode::Help:
        out << StartOptions::usage();
        return 0;
    case StartOptions::Mode::Invalid:
        err << "rondexa: " << options.error << Qt::endl << StartOptions::usage();
        return 2;
    case StartOptions::Mode::Window:
        return 2;
    case StartOptions::Mode::Import:
    case StartOptions::Mode::ExportVCard:
    case StartOptions::Mode::Snapshots:
    case StartOptions::Mode::Restore:
    case StartOptions::Mode::SyncAccount:
    case StartOptions::Mode::Sync:
        break;
    }
    Connection connection;
    try {
        openDataFile(connection, applicationFolder);
        if (options.mode == StartOptions::Mode::Snapshots || options.mode == StartOptions::Mode::Restore)
            return runSnapshotCommand(options, connection, out, err);
        if (options.mode == StartOptions::Mode::SyncAccount || options.mode == StartOptions::Mode::Sync)
            return runSyncCommand(options, connection, out, err);
        if (options.mode == StartOptions::Mode::Import)
            takeSnapshot(connection, SnapshotReason::Import);
        if (options.mode == StartOptions::Mode::ExportVCard) {
            const VCardExportResult written = exportAllVCards(connection, options.exportPath, options.version);
            out << writtenLine(written, options.exportPath) << Qt::endl;
            return 0;
        }
    } catch (const AppError& e) {
        err << "rondexa: " << e.description() << Qt::endl;
        return 1;
    }
    bool allImported = true;
    for (const QString& file : options.files) {
        const VCardImportResult result = importVCardFile(connection, file);
        out << summaryLine(result) << Qt::endl;
        allImported = allImported && result.imported;
    }
    return allImported ? 0 : 1;
}
