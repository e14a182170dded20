#include "exchange/charsetdecoder.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <QStringDecoder>

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
