#include "platform/spreadsheetprogram.h"

#include <QStandardPaths>

#include "base/apperror.h"
#include "platform/programstart.h"

namespace {

const char* const kOfficeNames[] = {"soffice", "libreoffice", "localc"};
const char kGnumeric[] = "gnumeric";
const int kCannotCreateObject = 429;

} // namespace

SpreadsheetProgram::SpreadsheetProgram(QString path, bool office) : mPath(std::move(path)), mOffice(office) {}

SpreadsheetProgram SpreadsheetProgram::find()
{
    for (const char* name : kOfficeNames) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(name));
        if (!path.isEmpty())
            return SpreadsheetProgram(path, true);
    }
    const QString gnumeric = QStandardPaths::findExecutable(QLatin1String(kGnumeric));
    if (!gnumeric.isEmpty())
        return SpreadsheetProgram(gnumeric, false);
    throw AppError(QStringLiteral("No spreadsheet program found: none of soffice, libreoffice, localc or gnumeric "
                                  "is on the search path"),
                   kCannotCreateObject);
}

QStringList SpreadsheetProgram::openCommand(const QString& file) const
{
    if (mOffice)
        return {mPath, QStringLiteral("--calc"), QStringLiteral("-n"), file};
    return {mPath, file};
}

void SpreadsheetProgram::openAsNewDocument(const QString& file) const
{
    startDetachedProgram(openCommand(file));
}
