#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include "exchange/vcardproperty.h"
#include "exchange/vcardversion.h"

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
