#pragma once

#include <functional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

#include "exchange/vcardcard.h"

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

// Splits the bytes of a .vcf file into cards and properties. It knows nothing
// of contacts; the mappers decide what a property means.
class VCardReader {
public:
    // Embedded binary data (photos, sounds, keys) is skipped unless asked
    // for: an import needs none of it for the fields, and keeps the card's
    // text whole anyway.
    enum class Binary { Skip, Keep };

    // Every card of the file, decoded, or the line and reason it cannot be read.
    static VCardReadResult read(const QByteArray& data, Binary binary = Binary::Skip);
    // Hands every card to onCard as soon as it is read, so that a large file
    // never has all of its cards in memory; stops early when onCard returns
    // false. The result's cards stay empty.
    static VCardReadResult read(QByteArrayView data, const std::function<bool(const RawCard&)>& onCard,
                                Binary binary = Binary::Skip);
    // How many cards the file seems to hold, counted without reading them:
    // enough for a progress bar.
    static int countCards(QByteArrayView data);
};
