#include "output/spreadsheetworkbook.h"

#include <algorithm>
#include <chrono>
#include <future>

#include <xlsxwriter.h>

#include <QFile>

#include "base/apperror.h"

namespace {

// The widest column a sheet allows, in characters.
const double kMaxWidth = 255;

[[noreturn]] void fail(const QString& what, lxw_error error)
{
    throw AppError(what + QStringLiteral(": ") + QString::fromUtf8(lxw_strerror(error)), static_cast<int>(error));
}

// Characters of the longest line, counting a character outside the basic
// plane once.
qsizetype longestLine(QStringView text)
{
    qsizetype longest = 0;
    qsizetype current = 0;
    for (const QChar c : text) {
        if (c == u'\n' || c == u'\r') {
            longest = std::max(longest, current);
            current = 0;
        } else if (!c.isLowSurrogate()) {
            ++current;
        }
    }
    return std::max(longest, current);
}

} // namespace

SpreadsheetWorkbook::SpreadsheetWorkbook(const QString& path, const QString& tempFolder)
    : mPath(path), mTempFolder(QFile::encodeName(tempFolder))
{
    lxw_workbook_options options{};
    options.tmpdir = mTempFolder.isEmpty() ? nullptr : mTempFolder.data();
    // Each finished row goes to a working file at once: a list of a hundred
    // thousand contacts then needs a fraction of the memory and time that
    // keeping every cell (and a table of shared texts) until saving does.
    // The texts are then stored in their cells, which every spreadsheet
    // program reads as well; rows must come in order, as the export writes
    // them anyway.
    options.constant_memory = LXW_TRUE;
    // Not every reader takes ZIP64, and a contact list stays far below 4 GB.
    options.use_zip64 = LXW_FALSE;
    mWorkbook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!mWorkbook)
        throw AppError(QStringLiteral("Cannot create a workbook: out of memory"), AppError::kOutOfMemory);
    mSheet = workbook_add_worksheet(mWorkbook, nullptr);
    if (!mSheet) {
        lxw_workbook_free(mWorkbook);
        mWorkbook = nullptr;
        throw AppError(QStringLiteral("Cannot add a sheet to the workbook"), AppError::kOutOfMemory);
    }
}

SpreadsheetWorkbook::~SpreadsheetWorkbook()
{
    // A workbook that was never saved is dropped without writing its file.
    if (mWorkbook)
        lxw_workbook_free(mWorkbook);
}

void SpreadsheetWorkbook::requireOpen() const
{
    if (!mWorkbook)
        throw AppError(QStringLiteral("The workbook has already been handed over"), AppError::kObjectNotSet);
}

bool SpreadsheetWorkbook::writeText(uint32_t row, uint32_t column, const QString& text)
{
    requireOpen();
    if (row >= kMaxRows || column >= kMaxColumns)
        fail(QStringLiteral("Cannot write the cell"), LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE);
    QStringView value(text);
    const bool cut = value.size() > kMaxCellText;
    if (cut) {
        value = value.left(kMaxCellText);
        // Half a character would be no character at all.
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    const QByteArray utf8 = value.toUtf8();
    const lxw_error error =
        worksheet_write_string(mSheet, row, static_cast<lxw_col_t>(column), utf8.constData(), nullptr);
    if (error != LXW_NO_ERROR)
        fail(QStringLiteral("Cannot write the cell"), error);
    if (mLongest.size() <= column)
        mLongest.resize(static_cast<size_t>(column) + 1, 0);
    mLongest[column] = std::max(mLongest[column], longestLine(value));
    return cut;
}

double SpreadsheetWorkbook::fittedWidth(qsizetype longestLine)
{
    // One character more than the text, for the cell's margins.
    return std::min(kMaxWidth, static_cast<double>(longestLine) + 1);
}

void SpreadsheetWorkbook::fitColumns()
{
    requireOpen();
    for (size_t column = 0; column < mLongest.size(); ++column) {
        if (mLongest[column] == 0)
            continue;
        const auto at = static_cast<lxw_col_t>(column);
        const lxw_error error = worksheet_set_column(mSheet, at, at, fittedWidth(mLongest[column]), nullptr);
        if (error != LXW_NO_ERROR)
            fail(QStringLiteral("Cannot set the column width"), error);
    }
}

void SpreadsheetWorkbook::save(const std::function<void()>& whileWaiting, int sliceMs)
{
    requireOpen();
    if (mPath.isEmpty())
        throw AppError(QStringLiteral("There is no file to write the workbook to"), AppError::kPathNotFound);
    // workbook_close writes and frees the workbook; from here on only the
    // writing thread touches it.
    lxw_workbook* workbook = mWorkbook;
    mWorkbook = nullptr;
    mSheet = nullptr;
    std::future<lxw_error> written = std::async(std::launch::async, [workbook] { return workbook_close(workbook); });
    while (written.wait_for(std::chrono::milliseconds(sliceMs)) != std::future_status::ready)
        whileWaiting();
    const lxw_error error = written.get();
    if (error != LXW_NO_ERROR)
        fail(QStringLiteral("Cannot write the workbook %1").arg(mPath), error);
}
