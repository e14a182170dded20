#pragma once

#include <QString>
#include <QStringList>

// The desktop's spreadsheet program, standing in for a spreadsheet
// application object: LibreOffice (soffice, libreoffice or localc) or, failing
// that, Gnumeric, found on PATH. Putting a program of one of these names first
// on PATH is how tests stand in for it.
class SpreadsheetProgram {
public:
    // Throws AppError (number 429) when none of the names is on PATH.
    static SpreadsheetProgram find();

    const QString& path() const { return mPath; }

    // The words that open the file as a new, untitled document: LibreOffice
    // takes it as the template of a new document, so saving asks for a name;
    // Gnumeric is simply given the file.
    QStringList openCommand(const QString& file) const;

    // Starts the program on the file and returns without waiting for it.
    void openAsNewDocument(const QString& file) const;

private:
    SpreadsheetProgram(QString path, bool office);

    QString mPath;
    bool mOffice = true;
};
