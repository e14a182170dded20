#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QByteArray>
#include <QString>

struct lxw_workbook;
struct lxw_worksheet;

// A workbook of one sheet of text cells, built in memory and written to its
// file in one go by save().
class SpreadsheetWorkbook {
public:
    // What one sheet can hold.
    static constexpr uint32_t kMaxRows = 1048576;
    static constexpr uint32_t kMaxColumns = 16384;
    static constexpr qsizetype kMaxCellText = 32767;

    // Nothing is written to path before save(); libxlsxwriter keeps its
    // working files in tempFolder. An empty path makes a workbook that can be
    // filled but not saved. Throws AppError when the workbook cannot be made.
    SpreadsheetWorkbook(const QString& path, const QString& tempFolder);
    ~SpreadsheetWorkbook();
    SpreadsheetWorkbook(const SpreadsheetWorkbook&) = delete;
    SpreadsheetWorkbook& operator=(const SpreadsheetWorkbook&) = delete;

    // Writes the text as text (never as a number, date or formula) into the
    // cell at row and column, both counted from 0. Rows are written in
    // order: a row before the last one written is not written again. A text longer than a cell
    // holds is cut there; the result tells whether it was. Throws AppError
    // when the cell cannot be written.
    bool writeText(uint32_t row, uint32_t column, const QString& text);

    // Sets every column that holds text as wide as its longest line.
    void fitColumns();

    // Writes the file. The writing runs on a thread of its own, and
    // whileWaiting is called every sliceMs milliseconds until it is done, so
    // that the windows stay alive. Throws AppError when the file cannot be
    // written. The workbook can be used no further afterwards.
    void save(const std::function<void()>& whileWaiting, int sliceMs);

    const QString& path() const { return mPath; }

    // The width, in characters, that fitColumns gives a column whose longest
    // line is that long.
    static double fittedWidth(qsizetype longestLine);

private:
    void requireOpen() const;

    QString mPath;
    QByteArray mTempFolder;
    lxw_workbook* mWorkbook = nullptr;
    lxw_worksheet* mSheet = nullptr;
    std::vector<qsizetype> mLongest;
};
