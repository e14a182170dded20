#pragma once

#include <QList>

#include "exchange/vcardproperty.h"

// One card as read.
struct VCardCard {
    // Where it begins in its file, from 1.
    int line = 0;
    // What its VERSION says, empty when it says nothing.
    QString version;
    QList<VCardProperty> properties;
    // An embedded card (2.1's AGENT) was left out.
    bool embeddedCardSkipped = false;
    // Some text could not be read as written (an unknown character set,
    // bytes not valid in theirs) and has replacement characters.
    bool textReplaced = false;
};
