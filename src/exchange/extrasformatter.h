#pragma once

#include <QString>
#include <QStringList>

#include "exchange/vcardproperty.h"

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
