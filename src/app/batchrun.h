#pragma once

#include <QString>

class QTextStream;
struct StartOptions;

// Runs an import or an export without a window or a display: the data file
// is opened (and made from the template on a first run) as the window would,
// results go to out and failures to err. Returns the exit status: 0 when
// every file was imported, or the export written; 1 otherwise.
int runBatch(const StartOptions& options, const QString& applicationFolder, QTextStream& out, QTextStream& err);
