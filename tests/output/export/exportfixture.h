#pragma once

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>

#include "base/messages.h"
#include "output/excelexportlist.h"
#include "support/fakes.h"

// A list whose size and texts a test scripts, and which records what the
// export did with it.
class ScriptedList : public ExcelExportList {
public:
    QStringList headers;
    int rows = 0;
    std::function<QString(int row, int column)> cell;
    // Called before every cell read with the number of reads so far.
    std::function<void(int reads)> beforeRead;

    mutable int calls = 0;
    mutable int reads = 0;
    std::vector<int> pointers;

    int columnCount() const override;
    QString headerText(int column) const override;
    int rowCount() const override;
    QString cellText(int row, int column) const override;
    void setMousePointer(int pointer) override;
};

// The fourteen headings of the contact list.
QStringList contactHeadings();

// A private PATH holding only the spreadsheet stand-ins a test puts there, a
// cache folder of the test's own, and scripted messages.
class ExportTest : public testing::Test {
protected:
    ExportTest();
    ~ExportTest() override;

    QString bin() const { return mRoot.path() + QStringLiteral("/bin"); }
    QString cacheHome() const { return mRoot.path() + QStringLiteral("/cache"); }
    QString workbookFolder() const { return cacheHome() + QStringLiteral("/Marrowind/Rondexa/workbooks"); }

    // A stand-in that writes its arguments, one a line, to a file beside
    // itself and then stays running for lingerSeconds.
    void addSpreadsheetProgram(const QString& name, double lingerSeconds = 0);
    // The arguments of each start of that stand-in, waiting up to timeoutMs
    // for expected starts to show.
    std::vector<QStringList> starts(const QString& name, size_t expected = 1, int timeoutMs = 5000) const;
    QStringList workbooks() const;
    // The texts of the error reports, in order, and the line each names.
    std::vector<int> reportedLines() const;
    // Runs the export as the "Save Database To Excel" button does.
    void exportList(ExcelExportList& list);

    QTemporaryDir mRoot;
    QByteArray mOldPath;
    QByteArray mOldCache;
    ScriptedMessages mMessages;
    Messages mSeam{mMessages};
};
