#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "exchange/vcardproperty.h"

// One card as read.
struct VCardCard {
    QString version;
    // The line of its BEGIN:VCARD.
    int line = 0;
    QList<VCardProperty> properties;
    // What the user may want to know about the reading: an unknown character
    // set, bytes that were replaced, an embedded card left out.
    QStringList notes;
    // Some text could not be read as written (an unknown character set,
    // bytes not valid in theirs) and has replacement characters.
    bool textReplaced = false;
};
