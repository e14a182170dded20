#pragma once

#include "exchange/charsetdecoder.h"
#include "exchange/rawcard.h"
#include "exchange/vcardcard.h"

// Decodes a card's properties: parameters, transfer encodings, character
// sets. Keeps the character set converters from one card to the next.
class CardDecoder {
public:
    VCardCard decode(const RawCard& raw);
    // One property of a card; textReplaced is set when some of its text could
    // not be read as written.
    VCardProperty decodeProperty(const RawProperty& raw, bool& textReplaced);

private:

    CharsetDecoder mCharsets;
};
