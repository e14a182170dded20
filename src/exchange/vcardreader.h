#pragma once

#include <functional>

#include <QByteArray>
#include <QByteArrayView>

#include "exchange/rawcard.h"
#include "exchange/vcardreadresult.h"

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
