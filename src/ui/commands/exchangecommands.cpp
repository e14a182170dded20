#include "ui/commands/exchangecommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressDialog>
#include <QUrl>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "base/messages.h"
#include "base/mousepointer.h"
#include "exchange/vcardimport.h"
#include "store/connection.h"
#include "store/filedescriptor.h"
#include "store/paths.h"
#include "store/privatefolder.h"
#include "store/session.h"
#include "store/snapshots.h"
#include "store/undohistory.h"
#include "ui/commands/mainlist.h"

namespace {

const char kVCardFilter[] = "vCard 4.0 (*.vcf)";
const char kOlderVCardFilter[] = "vCard 3.0, for older phones (*.vcf)";

// The progress of one file: a dialog only once the work has taken half a
// second, so a small file never flashes one.
class ImportProgressDialog {
public:
    ImportProgressDialog(QWidget* owner, const QString& file) : mOwner(owner), mFile(file) { mClock.start(); }

    bool update(int done, int total)
    {
        if (!mDialog && mClock.elapsed() >= 500 && done < total) {
            mDialog =
                std::make_unique<QProgressDialog>(QStringLiteral("Importing %1…").arg(QFileInfo(mFile).fileName()),
                                                  QStringLiteral("Cancel"), 0, total, mOwner);
            mDialog->setWindowTitle(QStringLiteral("Import vCards"));
            mDialog->setWindowModality(Qt::WindowModal);
            mDialog->setMinimumDuration(0);
            mDialog->setAutoClose(false);
            mDialog->setAutoReset(false);
        }
        if (!mDialog)
            return true;
        mDialog->setMaximum(total);
        // A window-modal dialog takes the events here, the cancel click
        // among them.
        mDialog->setValue(done);
        QCoreApplication::processEvents();
        return !mDialog->wasCanceled();
    }

private:
    QWidget* mOwner;
    QString mFile;
    QElapsedTimer mClock;
    std::unique_ptr<QProgressDialog> mDialog;
};

// The selected contacts' keys, in the list's order. An export reads them from
// the file, not the list: what the list shows has replacement characters for
// text that is not UTF-8, and no card the contact came from.
std::vector<qint64> selectedIds(const MainList& list)
{
    std::vector<qint64> ids;
    for (const int row : list.selectedRows())
        ids.push_back(list.id(row).toLongLong());
    return ids;
}

void exportTo(MainList& list, const char* procedure, const ExportTargetChooser& choose,
              const std::function<VCardExportResult(const ExportTarget&)>& write)
{
    Messages& messages = list.session().messages;
    ErrorTrap trap(messages, locationTag("Form1", procedure));
    const std::optional<ExportTarget> target = choose(list.ownerWidget());
    if (!target)
        return;
    // A choice to make again rather than a failure to report: said plainly.
    QString refusal;
    if (!trap.attempt(100, [&] { refusal = exportRefusal(list.session().connection(), target->path); }))
        return;
    if (!refusal.isEmpty()) {
        messages.msgBox(refusal, MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Export as vCard"));
        return;
    }
    VCardExportResult written;
    list.setMousePointer(pointer::kHourglass);
    const bool done = trap.attempt(100, [&] { written = write(*target); });
    list.setMousePointer(pointer::kDefault);
    if (done)
        messages.msgBox(writtenLine(written, target->path) + QLatin1Char('.'));
}

// A file name made of a contact's name: no folder separators, no leading
// dot that would hide it, something left when the name has nothing usable.
QString fileNameFor(const QString& name)
{
    QString safe;
    for (const QChar c : name)
        safe += (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
                    ? QLatin1Char('_')
                    : c;
    while (safe.startsWith(QLatin1Char('.')))
        safe.remove(0, 1);
    safe = safe.trimmed().left(100);
    return (safe.isEmpty() ? QStringLiteral("Contact") : safe) + QStringLiteral(".vcf");
}

} // namespace

std::optional<ExportTarget> askExportTarget(QWidget* owner)
{
    QString filter = QLatin1String(kVCardFilter);
    QString path = QFileDialog::getSaveFileName(
        owner, QStringLiteral("Export as vCard"), QDir::homePath() + QStringLiteral("/Contacts.vcf"),
        QLatin1String(kVCardFilter) + QStringLiteral(";;") + QLatin1String(kOlderVCardFilter), &filter);
    if (path.isEmpty())
        return std::nullopt;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".vcf");
    return ExportTarget{path, filter == QLatin1String(kOlderVCardFilter) ? VCardVersion::V30 : VCardVersion::V40};
}

QStringList askImportFiles(QWidget* owner)
{
    return QFileDialog::getOpenFileNames(owner, QStringLiteral("Import vCards"), QDir::homePath(),
                                         QStringLiteral("vCard files (*.vcf *.vcard *.VCF);;All files (*)"));
}

void importVCardsCommand(MainList& list, const QStringList& files)
{
    Session& session = list.session();
    ErrorTrap trap(session.messages, locationTag("Form1", "ImportVCards"));
    if (files.isEmpty())
        return;
    // The file as it was, should the import turn out to be a mistake; no
    // import without that copy.
    if (!trap.attempt(100, [&] { takeSnapshot(session.connection(), SnapshotReason::Import); }))
        return;
    QStringList lines;
    bool allImported = true;
    bool anyAdded = false;
    for (const QString& file : files) {
        VCardImportResult result;
        result.file = file;
        qint64 lastId = 0;
        qint64 version = -1;
        trap.step(100, [&] {
            ImportProgressDialog progress(list.ownerWidget(), file);
            list.setMousePointer(pointer::kHourglass);
            lastId = highestContactId(session.connection());
            version = session.connection().dataVersion();
            result = importVCardFile(session.connection(), file,
                                     [&](int done, int total) { return progress.update(done, total); });
        });
        // The file's contacts are those above the highest key before it, as
        // long as no other program added any meanwhile; otherwise this
        // import cannot be told apart and is not offered for undo.
        if (result.added > 0)
            trap.attempt(100, [&] {
                if (session.connection().dataVersion() == version) {
                    std::vector<ContactImage> added = contactsAbove(session.connection(), lastId);
                    std::vector<ContactImage> before;
                    for (const ContactImage& image : added)
                        before.push_back(ContactImage{image.id, {}});
                    list.undoHistory().record({QStringLiteral("Import of ") + QFileInfo(file).fileName(),
                                               std::move(before), std::move(added)});
                }
            });
        list.setMousePointer(pointer::kDefault);
        allImported = allImported && result.imported;
        anyAdded = anyAdded || result.added > 0;
        lines << summaryLine(result);
    }
    if (anyAdded)
        trap.step(102, [&] { list.loadRondexa(); });
    session.messages.msgBox(lines.join(QLatin1Char('\n')), MsgButtons::Ok,
                            allImported ? MsgIcon::None : MsgIcon::Exclamation, QStringLiteral("Import vCards"));
}

void chooseAndImportVCardsCommand(MainList& list, const ImportFileChooser& choose)
{
    importVCardsCommand(list, choose(list.ownerWidget()));
}

void exportSelectedVCardsCommand(MainList& list, const ExportTargetChooser& choose)
{
    // The keys are taken before the dialog: the list may change while it is
    // open. The contacts are read as they are when written.
    const std::vector<qint64> ids = selectedIds(list);
    if (ids.empty())
        return;
    exportTo(list, "ExportSelectedVCards", choose, [&](const ExportTarget& target) {
        Connection& connection = list.session().connection();
        return writeVCardFile(connection, target.path, readForExport(connection, ids), target.version);
    });
}

void exportAllVCardsCommand(MainList& list, const ExportTargetChooser& choose)
{
    exportTo(list, "ExportAllVCards", choose, [&](const ExportTarget& target) {
        return exportAllVCards(list.session().connection(), target.path, target.version);
    });
}

QMimeData* selectedContactsDragData(MainList& list)
{
    const std::vector<qint64> ids = selectedIds(list);
    if (ids.empty())
        return nullptr;
    QByteArray text;
    try {
        text = vcardText(readForExport(list.session().connection(), ids), VCardVersion::V40);
    } catch (const AppError&) {
        // A file that cannot be read now gives nothing to drag.
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/vcard"), text);
    data->setData(QStringLiteral("text/x-vcard"), text);
    // A file manager takes files, not text: the card also goes into a
    // private folder of the cache, emptied by the next drag. Never through
    // a link planted there: emptying it would empty another folder.
    try {
        const PrivateFolder folder =
            PrivateFolder::make(xdgBaseFolder("XDG_CACHE_HOME", ".cache"), QStringLiteral("Marrowind/Rondexa/dragged"));
        folder.removeFiles([](const char*, const struct stat&) { return true; });
        const QString name = ids.size() == 1
                                 ? fileNameFor(list.text(list.selectedRows().front(), contact::Field::Name))
                                 : QStringLiteral("Contacts.vcf");
        const QString path = folder.path() + QLatin1Char('/') + name;
        if (const std::optional<FileDescriptor> file = folder.createFile(QFile::encodeName(name))) {
            writeAll(file->get(), text, path);
            data->setUrls({QUrl::fromLocalFile(path)});
        }
    } catch (const AppError&) {
        // The drag still carries the text.
    }
    return data;
}
