#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

#include "exchange/vcardcard.h"
#include "exchange/vcardreader.h"

struct UConverter;

// Turns the bytes of a property value into text. UTF-8 stays on Qt's fast
// path; any other charset goes through ICU. Converters are kept because a
// file usually repeats one charset on every line.
class CharsetDecoder {
public:
    enum class Outcome { None, InvalidBytes, UnknownCharset };

    CharsetDecoder() = default;
    ~CharsetDecoder();
    CharsetDecoder(const CharsetDecoder&) = delete;
    CharsetDecoder& operator=(const CharsetDecoder&) = delete;

    QString decode(QByteArrayView bytes, const QString& charset, Outcome* outcome);

    static QString decodeUtf8(QByteArrayView bytes, bool* invalid);

private:
    UConverter* converterFor(const QString& charset);

    QHash<QString, UConverter*> mConverters;
};

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
