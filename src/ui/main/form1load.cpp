// The main window's start-up, list fill and closing, step by numbered step:
// the numbers are the ones an error report quotes.
#include "ui/main/form1.h"

#include <optional>
#include <vector>

#include <QCoreApplication>
#include <QTableView>

#include "app/errortrap.h"
#include "app/messagebox.h"
#include "app/programend.h"
#include "app/runtimecheck.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/datafiles.h"
#include "store/paths.h"
#include "store/recordset.h"
#include "ui/appicon.h"
#include "ui/cursorfile.h"
#include "ui/main/contactlistmodel.h"
#include "ui/main/layout.h"
#include "ui/main/viewsettings.h"
#include "ui/pointerfeedback.h"

namespace {

const char* const kHeadings[] = {"ID",           "Name",         "Date Of Birth", "Mobile No. 1", "Mobile No. 2",
                                 "Office No. 1", "Office No. 2", "Fax No. 1",     "Fax No. 2",    "Home No. 1",
                                 "Home No. 2",   "Email",        "Website",       "Remarks"};

} // namespace

bool Form1::Form_Load()
{
    ErrorTrap trap(locationTag("Form1", "Form_Load"));
    const DataPaths paths = dataPaths();

    if (trap.test(100, [&] { return !fileOrFolderExists(paths.makerFolder); }))
        trap.step(102, [&] { makeFolder(paths.makerFolder); });
    if (trap.test(104, [&] { return !fileOrFolderExists(paths.dataFolder); }))
        trap.step(106, [&] { makeFolder(paths.dataFolder); });
    if (trap.test(108, [&] { return !fileExists(paths.dataFile); })) {
        if (trap.test(110, [&] { return !plainFileExists(paths.templateFile); })) {
            trap.step(112, [&] { msgBox(paths.templateFile + QStringLiteral(" not found")); });
            endProgram(0);
            return false;
        }
        trap.step(116, [&] { copyTemplate(paths.templateFile, paths.dataFile); });
    }

    trap.step(118, [&] { ApplySkin(this, SkinFramework1); });
    const QString handCursor = applicationFolder() + QStringLiteral("/HAND-M.CUR");
    if (trap.test(120, [&] { return fileExists(handCursor); })) {
        trap.step(122, [&] { mPointer->setHandCursor(loadCursorFile(handCursor)); });
    }

    bool goOn = true;
    trap.step(144, [&] { goOn = IsADOInstalled(); });
    if (!goOn)
        return false;

    trap.step(146, [&] { setWindowTitle(QStringLiteral("Rondexa")); });
    trap.step(146, [&] { setWindowIcon(applicationIcon()); });
    trap.step(146, [] { SetAppTitle(); });

    trap.step(148, [] { gConn = std::make_unique<Connection>(); });
    if (trap.test(150, [] { return sharedConnection().state() != 0; }))
        trap.step(150, [] { sharedConnection().close(); });
    trap.step(152, [&] { sharedConnection().open(paths.connectionString); });

    int line = 154;
    for (const char* heading : kHeadings) {
        trap.step(line, [&] { mModel->addColumn(QLatin1String(heading)); });
        line += 2;
    }

    const ViewSettings settings;
    trap.step(182, [&] { setColumnWidthTwips(0, settings.columnWidth(1)); });
    for (int n = 2; n <= mModel->columnCount(); ++n)
        trap.step(186, [&] { setColumnWidthTwips(n - 1, settings.columnWidth(n)); });

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
    return true;
}

void Form1::loadRondexa()
{
    Recordset recordset;
    setMousePointer(11);
    clearRows();
    recordset.open(contact::listQuery(), sharedConnection(), 3, 1);
    fillFrom(recordset);
    if (recordset.state() != 0)
        recordset.close();
    setMousePointer(0);
}

void Form1::fillFrom(Recordset& recordset)
{
    std::vector<ListRow> rows;
    // Whatever was read before a failure stays in the list, and the failure
    // still goes on to the caller's trap.
    struct Publish {
        ContactListModel& model;
        std::vector<ListRow>& rows;
        ~Publish() { model.setRowsInNameOrder(std::move(rows)); }
    } publish{*mModel, rows};

    ListRow::Builder row;
    while (!recordset.eof()) {
        for (size_t i = 0; i < ListRow::size(); ++i)
            row.add(recordset.fieldUtf8(static_cast<int>(i)));
        rows.push_back(row.take());
        recordset.moveNext();
    }
}

void Form1::refreshRow(const QString& id)
{
    Recordset recordset;
    recordset.open(contact::rowQuery(id), sharedConnection(), 3, 1);
    std::optional<ListRow> stored;
    if (!recordset.eof()) {
        ListRow::Builder row;
        for (size_t i = 0; i < ListRow::size(); ++i)
            row.add(recordset.fieldUtf8(static_cast<int>(i)));
        stored = row.take();
    }
    recordset.close();
    mModel->replaceRow(id.toUtf8(), std::move(stored));
}

void Form1::Form_QueryUnload()
{
    ErrorTrap trap(locationTag("Form1", "Form_QueryUnload"));
    saveView(trap);
    if (trap.test(108, [] { return sharedConnection().state() != 0; }))
        trap.step(108, [] { sharedConnection().close(); });
    trap.step(110, [] { gConn.reset(); });
    trap.step(112, [] { QCoreApplication::processEvents(); });
    trap.step(114, [] { QCoreApplication::processEvents(); });
}
