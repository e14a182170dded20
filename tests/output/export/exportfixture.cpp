#include "exportfixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "output/excelexport.h"

int ScriptedList::columnCount() const
{
    ++calls;
    return static_cast<int>(headers.size());
}

QString ScriptedList::headerText(int column) const
{
    ++calls;
    if (column < 1 || column > headers.size())
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    return headers[column - 1];
}

int ScriptedList::rowCount() const
{
    ++calls;
    return rows;
}

QString ScriptedList::cellText(int row, int column) const
{
    ++calls;
    if (beforeRead)
        beforeRead(reads);
    ++reads;
    if (row < 1 || row > rows || column < 1 || column > headers.size())
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    return cell ? cell(row, column) : QString();
}

void ScriptedList::setMousePointer(int pointer)
{
    ++calls;
    pointers.push_back(pointer);
}

QStringList contactHeadings()
{
    return {QStringLiteral("ID"),           QStringLiteral("Name"),         QStringLiteral("Date Of Birth"),
            QStringLiteral("Mobile No. 1"), QStringLiteral("Mobile No. 2"), QStringLiteral("Office No. 1"),
            QStringLiteral("Office No. 2"), QStringLiteral("Fax No. 1"),    QStringLiteral("Fax No. 2"),
            QStringLiteral("Home No. 1"),   QStringLiteral("Home No. 2"),   QStringLiteral("Email"),
            QStringLiteral("Website"),      QStringLiteral("Remarks")};
}

ExportTest::ExportTest() : mOldPath(qgetenv("PATH")), mOldCache(qgetenv("XDG_CACHE_HOME"))
{
    QDir().mkpath(bin());
    qputenv("PATH", QFile::encodeName(bin()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome()));
}

ExportTest::~ExportTest()
{
    qputenv("PATH", mOldPath);
    if (mOldCache.isNull())
        qunsetenv("XDG_CACHE_HOME");
    else
        qputenv("XDG_CACHE_HOME", mOldCache);
}

void ExportTest::addSpreadsheetProgram(const QString& name, double lingerSeconds)
{
    QFile file(bin() + QLatin1Char('/') + name);
    file.open(QIODevice::WriteOnly);
    // Only absolute paths and built-ins: the test's PATH holds nothing else.
    file.write(QStringLiteral("#!/bin/sh\n"
                              "out=\"$0.start.$$\"\n"
                              "for word in \"$@\"; do printf '%s\\n' \"$word\"; done > \"$out.part\"\n"
                              "/bin/mv \"$out.part\" \"$out\"\n"
                              "/bin/sleep %1\n")
                   .arg(lingerSeconds)
                   .toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

std::vector<QStringList> ExportTest::starts(const QString& name, size_t expected, int timeoutMs) const
{
    const QDir dir(bin());
    const QStringList pattern{name + QStringLiteral(".start.*")};
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        QStringList found = dir.entryList(pattern, QDir::Files);
        found.removeIf([](const QString& file) { return file.endsWith(QLatin1String(".part")); });
        if (static_cast<size_t>(found.size()) >= expected)
            break;
        QThread::msleep(20);
    }
    std::vector<QStringList> result;
    for (const QString& file : dir.entryList(pattern, QDir::Files, QDir::Time | QDir::Reversed)) {
        if (file.endsWith(QLatin1String(".part")))
            continue;
        QFile args(dir.filePath(file));
        args.open(QIODevice::ReadOnly);
        QString text = QString::fromUtf8(args.readAll());
        text.chop(1);
        result.push_back(text.split(QLatin1Char('\n')));
    }
    return result;
}

QStringList ExportTest::workbooks() const
{
    return QDir(workbookFolder()).entryList({QStringLiteral("*.xlsx")}, QDir::Files);
}

std::vector<int> ExportTest::reportedLines() const
{
    static const QRegularExpression line(
        QStringLiteral("^[^\r]*\r\nin Rondexa2021/08/31\\.Form1\\.PushButton7_Click at line (\\d+)\r\r"));
    std::vector<int> lines;
    for (const MessageRequest& box : mMessages.shown()) {
        const QRegularExpressionMatch match = line.match(box.text);
        lines.push_back(match.hasMatch() && box.title == QLatin1String("Application Error") ? match.captured(1).toInt()
                                                                                            : -1);
    }
    return lines;
}

void ExportTest::exportList(ExcelExportList& list)
{
    ErrorTrap trap(mSeam, locationTag("Form1", "PushButton7_Click"));
    runExcelExport(list, trap);
}
