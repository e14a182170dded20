#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include "exchange/vcardexport.h"

class MainList;
class QMimeData;
class QWidget;

// Where an export goes, as the user chose it; none when cancelled.
struct ExportTarget {
    QString path;
    VCardVersion version = VCardVersion::V40;
};
using ExportTargetChooser = std::function<std::optional<ExportTarget>(QWidget* owner)>;
using ImportFileChooser = std::function<QStringList(QWidget* owner)>;

// The file dialogs; tests hand in their own choosers.
std::optional<ExportTarget> askExportTarget(QWidget* owner);
QStringList askImportFiles(QWidget* owner);

// "Import vCards…", dropped files and files given at start: imports each
// file in a transaction of its own, refills the list and says per file what
// happened. A file that takes a while shows a progress dialog that can
// cancel it.
void importVCardsCommand(MainList& list, const QStringList& files);
void chooseAndImportVCardsCommand(MainList& list, const ImportFileChooser& choose = askImportFiles);

// "Export Selected as vCard…" and "Export All as vCard…".
void exportSelectedVCardsCommand(MainList& list, const ExportTargetChooser& choose = askExportTarget);
void exportAllVCardsCommand(MainList& list, const ExportTargetChooser& choose = askExportTarget);

// The selected contacts as a drag carries them: as vCard text, and as a
// file in the cache folder for targets that take files (a file manager).
// Null when nothing is selected.
QMimeData* selectedContactsDragData(MainList& list);
