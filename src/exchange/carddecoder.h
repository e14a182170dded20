#pragma once

#include "exchange/charsetdecoder.h"
#include "exchange/rawcard.h"
#include "exchange/vcardcard.h"

// Decodes a card's properties: parameters, transfer encodings, character
// sets. Keeps the character set converters from one card to the next.
class CardDecoder {
public:
    VCardCard decode(const RawCard& raw);

private:
    void decodeProperty(const RawProperty& raw, VCardCard& card);

    CharsetDecoder mCharsets;
};
