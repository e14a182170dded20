#include "xlsxreader.h"

#include <vector>

#include <QProcess>
#include <QXmlStreamReader>

#include "support/tempenv.h"

QByteArray zipMember(const QString& zip, const QString& member)
{
    static const QString program = systemTool(QStringLiteral("unzip"));
    QProcess unzip;
    unzip.start(program, {QStringLiteral("-p"), zip, member});
    unzip.waitForFinished(60000);
    if (unzip.exitStatus() != QProcess::NormalExit || unzip.exitCode() != 0)
        return QByteArray();
    return unzip.readAllStandardOutput();
}

namespace {

std::vector<QString> sharedStrings(const QByteArray& xml)
{
    std::vector<QString> strings;
    QXmlStreamReader reader(xml);
    QString current;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("si"))
            current.clear();
        else if (reader.isStartElement() && reader.name() == QLatin1String("t"))
            current += reader.readElementText();
        else if (reader.isEndElement() && reader.name() == QLatin1String("si"))
            strings.push_back(current);
    }
    return strings;
}

} // namespace

SheetContents readFirstSheet(const QString& workbook)
{
    SheetContents contents;
    const QByteArray sheet = zipMember(workbook, QStringLiteral("xl/worksheets/sheet1.xml"));
    if (sheet.isEmpty())
        return contents;
    const std::vector<QString> strings = sharedStrings(zipMember(workbook, QStringLiteral("xl/sharedStrings.xml")));

    QXmlStreamReader reader(sheet);
    QString ref;
    QString type;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("col")) {
            const auto attributes = reader.attributes();
            const int first = attributes.value(QLatin1String("min")).toInt();
            const int last = attributes.value(QLatin1String("max")).toInt();
            for (int column = first; column <= last; ++column)
                contents.widths[column] = attributes.value(QLatin1String("width")).toDouble();
        } else if (reader.name() == QLatin1String("c")) {
            ref = reader.attributes().value(QLatin1String("r")).toString();
            type = reader.attributes().value(QLatin1String("t")).toString();
            contents.types[ref] = type;
        } else if (reader.name() == QLatin1String("v")) {
            const QString value = reader.readElementText();
            if (type == QLatin1String("s")) {
                const size_t index = value.toULong();
                contents.cells[ref] = index < strings.size() ? strings[index] : QStringLiteral("<bad index>");
            } else {
                contents.cells[ref] = value;
            }
        } else if (reader.name() == QLatin1String("t") && type == QLatin1String("inlineStr")) {
            contents.cells[ref] = reader.readElementText();
        }
    }
    contents.ok = !reader.hasError();
    return contents;
}
