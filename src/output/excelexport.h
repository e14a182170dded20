#pragma once

class ErrorTrap;
class ExcelExportList;

// The "Save Database To Excel" command: copies the list as shown (its rows in
// their order, columns 2 and up, header row first) into a new workbook of
// text cells, with every "=" taken out of the texts, fits the column widths,
// and opens it in the spreadsheet program as a new, untitled document without
// waiting for that program. Runs step by numbered step under the caller's
// error trap: a failing step (a row that vanished, a workbook that cannot be
// written) is reported with its line number and the export goes on. Pending
// events are processed every 50 ms or so meanwhile, so any other command can
// run in the middle of an export, a second export included.
void runExcelExport(ExcelExportList& list, ErrorTrap& trap);

// How long the export lets pending events wait at most, in milliseconds.
inline constexpr int kExportEventIntervalMs = 50;
