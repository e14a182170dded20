#pragma once

#include <QString>

// The private folder that holds the workbooks handed to the spreadsheet
// program: readable by the user alone (0700), in the user's cache folder (or
// the runtime folder where there is no cache folder), and never reached
// through a link (store/privatefolder.h). A workbook is a copy of the list,
// deleted contacts included, and is needed only until the spreadsheet
// program has read it, which cannot be known from here: the copy of the
// program that exported it keeps it while it runs, the next start removes
// every other one, and an export removes those older than a day.
class SpreadsheetFolder {
public:
    // Where the folder is (or would be); empty when there is no place for it.
    static QString location();

    // Creates the folder as needed, makes sure it is a folder of this user's
    // that nobody else can read, and removes workbooks older than a day.
    // Throws AppError when the folder cannot be made private.
    static void prepare();

    // Creates a new, empty workbook file (0600) in the prepared folder and
    // returns its path; the name is unique, so two exports never share one.
    // This copy of the program holds it until it ends.
    static QString reserveWorkbook();

    // Removes the workbooks of every copy of the program that has ended; a
    // copy still running beside this one keeps its own.
    static void removeLeftovers();

    // How old a workbook may get before an export removes it, in seconds.
    static constexpr long long kMaxAgeSeconds = 24 * 60 * 60;
};
