#pragma once

#include <QStringList>

#include "model/contact.h"

// A card as the program's contact, and what did not fit its fields.
struct ImportedContact {
    Contact contact;
    // The "Label: value" lines added to the remarks, in card order.
    QStringList extras;
    // A photo or other embedded data (an embedded card) was left out.
    bool binarySkipped = false;
    // Some text has replacement characters where it could not be read.
    bool textReplaced = false;
};
