#pragma once

#include <vector>

#include <QByteArrayView>

// One logical line of a card, unfolded, still as the file's bytes: enough to
// tell the card's structure, and all a mapper of plain cards needs.
struct RawProperty {
    int line = 0;
    // False for a line that is no property (no colon, a name with other
    // characters), kept as text: then value is the whole line.
    bool isProperty = false;
    // Embedded binary data that was skipped, not copied.
    bool binary = false;
    bool quotedPrintable = false;
    bool base64 = false;
    // How many parameter values the header holds, or a few more: every
    // piece between semicolons and every comma counts.
    qsizetype parameters = 0;
    QByteArrayView group;
    // As written, any letter case.
    QByteArrayView name;
    // All before the value's colon, parameters included.
    QByteArrayView header;
    QByteArrayView value;
};

// A card as read, before any value is decoded. The views point into the file
// or into the reader's buffers and hold only until the next card is read.
struct RawCard {
    int line = 0;
    // The card's lines as they stand in the file, BEGIN to END: what is kept
    // of it, photos and all.
    QByteArrayView text;
    // What its VERSION says ("2.1", "3.0", "4.0"), empty when it says nothing.
    QByteArrayView version;
    std::vector<RawProperty> properties;
    // An embedded card (2.1's AGENT) was left out.
    bool embeddedCardSkipped = false;
};
