#include "output/excelexport.h"

#include <memory>
#include <optional>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "base/messages.h"
#include "base/mousepointer.h"
#include "output/excelexportlist.h"
#include "output/spreadsheetfolder.h"
#include "output/spreadsheetworkbook.h"
#include "platform/runtimecheck.h"
#include "platform/spreadsheetprogram.h"

namespace {

const int kSaveSliceMs = 5;
// The header takes the sheet's first row.
const int kMaxListRows = static_cast<int>(SpreadsheetWorkbook::kMaxRows) - 1;

// Lets pending events through, but not more often than every interval: once
// per cell would cost more than the export itself.
class EventPump {
public:
    void whenDue()
    {
        if (!mSince.isValid() || mSince.elapsed() >= kExportEventIntervalMs) {
            QCoreApplication::processEvents();
            mSince.start();
        }
    }

private:
    QElapsedTimer mSince;
};

QString tooManyRowsText(int rows)
{
    return QStringLiteral("The list holds %1 rows, but a sheet holds only %2 below its header row: the rows after "
                          "row %2 are not exported.")
        .arg(rows)
        .arg(kMaxListRows);
}

QString cutText(int row, int column)
{
    return QStringLiteral("A cell holds at most %1 characters: the text of list row %2, column %3, and any other "
                          "longer text were cut there.")
        .arg(SpreadsheetWorkbook::kMaxCellText)
        .arg(row)
        .arg(column);
}

} // namespace

void runExcelExport(ExcelExportList& list, ErrorTrap& trap)
{
    EventPump pump;
    Messages& messages = trap.messages();

    if (!trap.test(100, [&] { return SaveResultsAsExcelFileIsExcelInstalled(messages); })) {
        trap.step(158, [&] {
            messages.msgBox(
                QStringLiteral("Excel is not installed on this computer. You need to have it installed to use "
                               "this feature."));
        });
        return;
    }
    if (trap.test(108, [&] { return list.rowCount() == 0; }))
        return;
    trap.step(110, [&] { list.setMousePointer(pointer::kHourglass); });

    std::optional<SpreadsheetProgram> program;
    QString file;
    trap.step(112, [&] { program = SpreadsheetProgram::find(); });
    trap.step(112, [&] {
        SpreadsheetFolder::prepare();
        file = SpreadsheetFolder::reserveWorkbook();
    });
    // The workbook lives in memory until it is saved, so a folder that could
    // not be prepared costs one report when saving rather than one per cell.
    std::unique_ptr<SpreadsheetWorkbook> workbook;
    trap.step(114, [&] { workbook = std::make_unique<SpreadsheetWorkbook>(file, SpreadsheetFolder::location()); });
    const auto book = [&]() -> SpreadsheetWorkbook& {
        if (!workbook)
            throw AppError::objectNotSet();
        return *workbook;
    };

    int sheetColumn = 1;
    int columns = 0;
    // A bound that cannot be read leaves its loop out.
    trap.step(118, [&] { columns = list.columnCount(); });
    for (int k = 2; k <= columns; ++k) {
        pump.whenDue();
        trap.step(122, [&] { book().writeText(0, static_cast<uint32_t>(sheetColumn - 1), list.headerText(k)); });
        ++sheetColumn;
    }

    int sheetRow = 2;
    int rows = 0;
    trap.step(130, [&] {
        rows = list.rowCount();
        if (rows > kMaxListRows) {
            const int listed = rows;
            rows = kMaxListRows;
            throw AppError(tooManyRowsText(listed));
        }
    });
    bool cutReported = false;
    for (int n = 1; n <= rows; ++n) {
        pump.whenDue();
        sheetColumn = 1;
        int rowColumns = 0;
        trap.step(136, [&] { rowColumns = list.columnCount(); });
        for (int k = 2; k <= rowColumns; ++k) {
            pump.whenDue();
            QString text;
            bool read = false;
            if (trap.test(140, [&] {
                    text = list.cellText(n, k);
                    read = true;
                    return !text.isEmpty();
                })) {
                // A read that failed enters here as a failed condition does,
                // and the cell is read again, as the write names it anew.
                trap.step(142, [&] {
                    if (!read)
                        text = list.cellText(n, k);
                    if (text.isEmpty())
                        return;
                    text.remove(u'=');
                    const bool cut = book().writeText(static_cast<uint32_t>(sheetRow - 1),
                                                      static_cast<uint32_t>(sheetColumn - 1), text);
                    if (cut && !cutReported) {
                        cutReported = true;
                        throw AppError(cutText(n, k));
                    }
                });
            }
            ++sheetColumn;
        }
        ++sheetRow;
    }

    trap.step(152, [&] { book().fitColumns(); });
    // Waited for in short slices, so that events get through on time however
    // long ago the rows last let them.
    if (trap.attempt(154, [&] { book().save([&] { pump.whenDue(); }, kSaveSliceMs); })) {
        trap.step(154, [&] {
            if (!program)
                throw AppError::objectNotSet();
            program->openAsNewDocument(file);
        });
    }
    trap.step(156, [&] { list.setMousePointer(pointer::kDefault); });
}
