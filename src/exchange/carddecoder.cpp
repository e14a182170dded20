#include "exchange/carddecoder.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <QStringDecoder>

#include "exchange/vcardsyntax.h"
#include "store/asciicase.h"

namespace {

// ICU's substitute callback hides whether anything was replaced; this one
// records it first so that the user can be told.
void U_CALLCONV flagAndSubstitute(const void* context, UConverterToUnicodeArgs* args, const char* codeUnits,
                                  int32_t length, UConverterCallbackReason reason, UErrorCode* error)
{
    if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR)
        *static_cast<bool*>(const_cast<void*>(context)) = true;
    UCNV_TO_U_CALLBACK_SUBSTITUTE(nullptr, args, codeUnits, length, reason, error);
}

QString normalizedCharset(const QString& charset)
{
    const QString upper = charset.trimmed().toUpper();
    // Windows programs label cp1252 text as Latin-1; browsers made the same choice.
    if (upper == u"ISO-8859-1" || upper == u"ISO8859-1" || upper == u"LATIN1" || upper == u"ISO_8859-1" ||
        upper == u"L1")
        return QStringLiteral("windows-1252");
    return upper;
}

bool isUtf8Name(const QString& upper)
{
    return upper.isEmpty() || upper == u"UTF-8" || upper == u"UTF8" || upper == u"US-ASCII" || upper == u"ASCII";
}

} // namespace

CharsetDecoder::~CharsetDecoder()
{
    for (UConverter* converter : std::as_const(mConverters)) {
        if (converter)
            ucnv_close(converter);
    }
}

QString CharsetDecoder::decodeUtf8(QByteArrayView bytes, bool* invalid)
{
    *invalid = false;
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    // A value may well begin with a zero-width no-break space; only the
    // file's own first bytes are a byte order mark, and the reader has
    // skipped those already.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString result = decoder(bytes);
    *invalid = decoder.hasError();
    return result;
}

QString CharsetDecoder::decode(QByteArrayView bytes, const QString& charset, Outcome* outcome)
{
    *outcome = Outcome::None;
    if (charset.isEmpty()) {
        bool invalid = false;
        QString result = decodeUtf8(bytes, &invalid);
        // Eight-bit text without a charset that is no UTF-8 comes from a
        // Windows program writing its code page, most often Windows-1252;
        // read that way, every byte stays a character.
        if (invalid)
            return decode(bytes, QStringLiteral("windows-1252"), outcome);
        return result;
    }
    // A charset named goes by its name even when every byte is ASCII:
    // ISO-2022-JP, UTF-7 and HZ write their text in such bytes.
    const QString name = normalizedCharset(charset);
    if (isUtf8Name(name)) {
        bool invalid = false;
        QString result = decodeUtf8(bytes, &invalid);
        if (invalid)
            *outcome = Outcome::InvalidBytes;
        return result;
    }
    UConverter* converter = converterFor(name);
    if (!converter) {
        bool invalid = false;
        QString result = decodeUtf8(bytes, &invalid);
        *outcome = Outcome::UnknownCharset;
        return result;
    }
    bool replaced = false;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter, flagAndSubstitute, &replaced, nullptr, nullptr, &error);
    ucnv_resetToUnicode(converter);
    // A byte never turns into more than two UTF-16 units in the charsets ICU ships.
    QString result(bytes.size() * 2 + 1, Qt::Uninitialized);
    error = U_ZERO_ERROR;
    const int32_t written =
        ucnv_toUChars(converter, reinterpret_cast<UChar*>(result.data()), static_cast<int32_t>(result.size()),
                      bytes.data(), static_cast<int32_t>(bytes.size()), &error);
    if (U_FAILURE(error)) {
        bool invalid = false;
        *outcome = Outcome::InvalidBytes;
        return decodeUtf8(bytes, &invalid);
    }
    result.truncate(written);
    if (replaced)
        *outcome = Outcome::InvalidBytes;
    return result;
}

UConverter* CharsetDecoder::converterFor(const QString& charset)
{
    const auto found = mConverters.constFind(charset);
    if (found != mConverters.constEnd())
        return found.value();
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(charset.toLatin1().constData(), &error);
    if (U_FAILURE(error))
        converter = nullptr;
    mConverters.insert(charset, converter);
    return converter;
}

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
