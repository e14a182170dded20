// The main window's start-up, list fill and closing, step by numbered step:
// the numbers are the ones an error report quotes.
#include "ui/main/form1.h"

#include <optional>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QTableView>

#include "base/errortrap.h"
#include "base/messages.h"
#include "base/mousepointer.h"
#include "base/programend.h"
#include "platform/runtimecheck.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/datafiles.h"
#include "store/paths.h"
#include "store/readsnapshot.h"
#include "store/recordset.h"
#include "store/session.h"
#include "store/viewsettings.h"
#include "ui/appicon.h"
#include "ui/cursorfile.h"
#include "ui/main/contactlistview.h"
#include "ui/main/contactrows.h"
#include "ui/main/layout.h"
#include "ui/main/storedrows.h"
#include "ui/pointerfeedback.h"

bool Form1::Form_Load()
{
    ErrorTrap trap(mSession.messages, locationTag("Form1", "Form_Load"));
    Messages& messages = mSession.messages;
    const DataPaths paths = dataPaths(mSession.applicationFolder);

    if (!prepareDataFile(paths, trap)) {
        trap.step(112, [&] { messages.msgBox(missingTemplateText(paths)); });
        mSession.programEnd.endProgram(0);
        return false;
    }

    trap.step(118, [&] { ApplySkin(this, SkinFramework1, mSession.applicationFolder); });
    const QString handCursor = mSession.applicationFolder + QStringLiteral("/HAND-M.CUR");
    if (trap.test(120, [&] { return FileExists(handCursor); })) {
        trap.step(122, [&] { mPointer->setHandCursor(loadCursorFile(handCursor)); });
    }

    bool goOn = true;
    trap.step(144, [&] { goOn = IsADOInstalled(mSession); });
    if (!goOn)
        return false;

    trap.step(146, [&] { setWindowTitle(QStringLiteral("Rondexa")); });
    trap.step(146, [&] { setWindowIcon(applicationIcon()); });
    trap.step(146, [&] { SetAppTitle(messages); });

    std::unique_ptr<Connection>& gConn = mSession.gConn;
    trap.step(148, [&] { gConn = std::make_unique<Connection>(); });
    if (trap.test(150, [&] { return mSession.connection().state() != 0; }))
        trap.step(150, [&] { mSession.connection().close(); });
    trap.step(152, [&] { mSession.connection().open(paths.connectionString, Connection::Check::InBackground); });

    trap.step(154, [&] { mRows->addColumn(QLatin1String(contact::kIdHeading)); });
    for (const contact::FieldInfo& field : contact::fields())
        trap.step(156 + 2 * contact::indexOf(field.field), [&] { mRows->addColumn(QLatin1String(field.listHeading)); });

    const ViewSettings& settings = mSession.settings;
    trap.step(182, [&] { setColumnWidthTwips(0, settings.columnWidth(1)); });
    for (int n = 2; n <= mRows->columnCount(); ++n)
        trap.step(186, [&] { setColumnWidthTwips(n - 1, settings.columnWidth(n)); });

    // The check of the whole file takes time with the file's size: it runs
    // on its own beside this first reading of the list, and its verdict
    // belongs to the opening. A damaged file is closed before any contact is
    // shown; the list's own step then fails on the closed connection.
    readEarly();
    trap.step(152, [&] {
        if (gConn)
            gConn->awaitCheck();
    });
    trap.step(190, [&] { loadRondexa(); });

    trap.step(192, [&] {
        const int state = settings.windowState();
        setWindowState(state == kStateMaximized   ? Qt::WindowMaximized
                       : state == kStateMinimized ? Qt::WindowMinimized
                                                  : Qt::WindowNoState);
    });
    if (trap.test(194, [&] { return !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)); }))
        trap.step(196, [&] { mMaximizedLayout = false; });
    else
        trap.step(198, [&] { mMaximizedLayout = true; });
    restoreView(trap);
    return true;
}

void Form1::loadRondexa()
{
    setMousePointer(pointer::kHourglass);
    Connection& connection = mSession.connection();
    // Since the list was filled, only this window changed the file: the
    // contacts it changed take their new places and the rest stays. Any
    // other writer (another copy, the sqlite3 tool) means a whole refill.
    // Placing rows one by one costs a pass over the list each: past a few
    // dozen a refill is quicker.
    const size_t kMostPlaced = 64;
    if (mShowsAll && !mChanged.empty() && mChanged.size() <= kMostPlaced && connection.isOpen() &&
        connection.dataVersion() == mFilledVersion) {
        // Should a contact fail to load, the list no longer shows the whole
        // table as it is, and the next fill reads all of it again.
        const std::vector<QString> changed = std::exchange(mChanged, {});
        mShowsAll = false;
        for (const QString& id : changed) {
            if (std::optional<ListRow> row = mStored->row(id.toLatin1()))
                mRows->placeRow(std::move(*row));
            else
                mRows->removeRow(id.toLatin1());
        }
        mShowsAll = true;
        describeList(false);
        setMousePointer(pointer::kDefault);
        return;
    }
    mChanged.clear();
    mShowsAll = false;
    clearRows();
    std::optional<std::vector<ListRow>> early = std::exchange(mEarly, std::nullopt);
    // Rows read while the file's check ran are shown only if no other copy
    // has committed since.
    if (early && connection.isOpen() && connection.dataVersion() == mEarlyVersion) {
        mRows->setRowsInNameOrder(std::move(*early));
        mFilledVersion = mEarlyVersion;
    } else {
        // The version is read in the same state as the rows: a contact that
        // another copy adds meanwhile counts as a change since the fill.
        const ReadSnapshot snapshot(connection);
        Recordset recordset;
        recordset.open(contact::namesQuery(), connection, 3, 1);
        fillFrom(recordset);
        if (recordset.state() != 0)
            recordset.close();
        mFilledVersion = snapshot.dataVersion();
    }
    mShowsAll = true;
    describeList(false);
    setMousePointer(pointer::kDefault);
}

namespace {

// The key and the name of every row: the other cells are read when they are
// shown.
void readNames(Recordset& recordset, std::vector<ListRow>& rows)
{
    ListRow::Builder row;
    for (; !recordset.eof(); recordset.moveNext()) {
        row.add(recordset.fieldUtf8(0));
        row.add(recordset.fieldUtf8(1));
        rows.push_back(row.take());
    }
}

} // namespace

void Form1::readEarly()
{
    mEarly.reset();
    if (!mSession.gConn || !mSession.gConn->isOpen())
        return;
    try {
        const ReadSnapshot snapshot(*mSession.gConn);
        Recordset recordset;
        recordset.open(contact::namesQuery(), *mSession.gConn);
        std::vector<ListRow> rows;
        readNames(recordset, rows);
        mEarly = std::move(rows);
        mEarlyVersion = snapshot.dataVersion();
    } catch (const std::exception&) {
        // Nothing is lost: the list's own step reads again and reports.
        mEarly.reset();
    }
}

void Form1::fillFrom(Recordset& recordset)
{
    std::vector<ListRow> rows;
    // Whatever was read before a failure stays in the list, and the failure
    // still goes on to the caller's trap.
    struct Publish {
        ContactRows& model;
        std::vector<ListRow>& rows;
        ~Publish() { model.setRowsInNameOrder(std::move(rows)); }
    } publish{*mRows, rows};

    readNames(recordset, rows);
}

void Form1::noteChanged(const QString& id)
{
    mChanged.push_back(id);
}

void Form1::refreshRow(const QString& id)
{
    std::optional<ListRow> stored = mStored->row(id.toLatin1());
    if (!stored)
        mRows->removeRow(id.toLatin1());
    else if (mShowsAll)
        mRows->placeRow(std::move(*stored));
    else
        mRows->replaceRow(id.toLatin1(), std::move(stored));
}

void Form1::Form_QueryUnload()
{
    ErrorTrap trap(mSession.messages, locationTag("Form1", "Form_QueryUnload"));
    saveView(trap);
    if (trap.test(108, [&] { return mSession.connection().state() != 0; }))
        trap.step(108, [&] { mSession.connection().close(); });
    trap.step(110, [&] { mSession.gConn.reset(); });
    trap.step(112, [] { QCoreApplication::processEvents(); });
    trap.step(114, [] { QCoreApplication::processEvents(); });
}
