#include "exchange/carddecoder.h"

#include "exchange/vcardsyntax.h"

namespace {

using vcardsyntax::equalsIgnoreCase;
using vcardsyntax::trimmed;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size());
    const qsizetype size = in.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = in[i];
        if (c == '=' && i + 2 < size) {
            const int high = hexValue(in[i + 1]);
            const int low = hexValue(in[i + 2]);
            if (high >= 0 && low >= 0) {
                out.append(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        } else if (c == '=' && i == size - 1) {
            continue;
        }
        out.append(c);
    }
    return out;
}

// The parameters in full: bare 2.1 ones (TEL;WORK;VOICE) become TYPE values,
// or ENCODING ones for the encodings; lists become one entry per value.
QList<VCardParameter> parameters(QByteArrayView header, QString* charset)
{
    QList<VCardParameter> result;
    QByteArrayView rest = header;
    vcardsyntax::nextPiece(rest, ';');
    while (!rest.isNull()) {
        const QByteArrayView part = trimmed(vcardsyntax::nextPiece(rest, ';'));
        if (part.isEmpty())
            continue;
        const qsizetype equals = part.indexOf('=');
        if (equals < 0) {
            const bool isEncoding = equalsIgnoreCase(part, "BASE64") || equalsIgnoreCase(part, "B") ||
                                    equalsIgnoreCase(part, "QUOTED-PRINTABLE") || equalsIgnoreCase(part, "8BIT") ||
                                    equalsIgnoreCase(part, "7BIT");
            result.append(
                VCardParameter{vcardsyntax::upperName(isEncoding ? "ENCODING" : "TYPE"), QString::fromUtf8(part)});
            continue;
        }
        const QString name = vcardsyntax::upperName(trimmed(part.first(equals)));
        QByteArrayView values = part.sliced(equals + 1);
        const qsizetype first = result.size();
        while (!values.isNull())
            result.append(
                VCardParameter{name, QString::fromUtf8(vcardsyntax::unquoted(vcardsyntax::nextPiece(values, ',')))});
        if (name == u"CHARSET")
            *charset = result[first].value;
    }
    return result;
}

} // namespace

VCardCard CardDecoder::decode(const RawCard& raw)
{
    VCardCard card;
    card.line = raw.line;
    card.version = QString::fromLatin1(raw.version);
    card.embeddedCardSkipped = raw.embeddedCardSkipped;
    card.properties.reserve(static_cast<qsizetype>(raw.properties.size()));
    for (const RawProperty& property : raw.properties)
        card.properties.append(decodeProperty(property, card.textReplaced));
    return card;
}

VCardProperty CardDecoder::decodeProperty(const RawProperty& raw, bool& textReplaced)
{
    VCardProperty property;
    if (!raw.isProperty) {
        // Read as a value without a charset is, so its bytes are never lost.
        CharsetDecoder::Outcome outcome = CharsetDecoder::Outcome::None;
        property.value = VCardProperty::escape(mCharsets.decode(raw.value, QString(), &outcome));
        textReplaced = textReplaced || outcome != CharsetDecoder::Outcome::None;
        return property;
    }
    QString charset;
    property.group = QString::fromUtf8(raw.group);
    property.name = vcardsyntax::upperName(raw.name);
    property.parameters = parameters(raw.header, &charset);
    if (raw.binary) {
        // Base64 or a data: URI, ASCII either way; empty when it was skipped.
        property.binary = true;
        property.value = QString::fromLatin1(raw.value);
        return property;
    }
    CharsetDecoder::Outcome outcome = CharsetDecoder::Outcome::None;
    QString text;
    if (raw.quotedPrintable)
        text = mCharsets.decode(decodeQuotedPrintable(raw.value), charset, &outcome);
    else if (raw.base64)
        text = mCharsets.decode(QByteArray::fromBase64(raw.value.toByteArray()), charset, &outcome);
    else
        text = mCharsets.decode(raw.value, charset, &outcome);
    textReplaced = textReplaced || outcome != CharsetDecoder::Outcome::None;
    // Base64 text carries no vCard escapes of its own, so it is kept escaped like the rest.
    property.value = raw.base64 ? VCardProperty::escape(text) : std::move(text);
    return property;
}
