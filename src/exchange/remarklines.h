#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "exchange/vcardcard.h"

// What has no field, as "Label: value" lines at the end of the remarks, and
// those lines back into properties.

// Renders a property that has no field of its own as readable "Label: value"
// lines for the remarks. The same rendering decides on export whether a remark
// line can become a property again, so both directions stay in step.
class ExtrasFormatter {
public:
    static QStringList linesFor(const VCardProperty& property, const QString& groupLabel);
    static QString line(const QString& label, const QString& qualifier, const QString& value);
    // One line of text: line breaks become ", ", blanks at either end go.
    static QString flatten(const QString& text);
    // N in reading order: prefix, given, additional, family, suffix.
    static QString naturalName(const VCardProperty& nameProperty);

    static bool isAppleMagicLabel(const QString& label);
    static QString readableLabel(const QString& label);
    static QString propertyForService(const QString& service);
};

// Turns one "Label: value" remark line, as import writes them, back into the
// property it came from. A line is converted only when rendering the new
// property gives exactly the same line again; anything else stays in the note.
class RemarkConverter {
public:
    // Nothing when the line does not convert. groupCounter numbers the groups
    // (item1, item2, ...) that carry labels of their own.
    static QList<VCardProperty> propertiesFor(const QString& line, VCardVersion version, int* groupCounter);
    // A cheap first look at a line in UTF-8: could it be one of them?
    static bool looksLikeExtraLine(QByteArrayView utf8Line);
};
