#include "model/storedtext.h"

#include <QStringDecoder>

QString textFromUtf8(QByteArrayView text)
{
    if (text.size() < 3 || text[0] != '\xEF' || text[1] != '\xBB' || text[2] != '\xBF')
        return QString::fromUtf8(text);
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(text);
}

int utf8SequenceAt(QByteArrayView text, qsizetype at, char32_t* codePoint)
{
    const auto byte = [&text](qsizetype i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    int length = 0;
    char32_t value = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        // No overlong forms, no surrogates.
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if (next < low || next > high)
            return 0;
        low = 0x80;
        high = 0xBF;
        value = (value << 6) | (next & 0x3F);
    }
    *codePoint = value;
    return length;
}

bool isBlank(QStringView text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

bool isBlankUtf8(QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const int length = utf8SequenceAt(text, i, &c);
            if (length == 0)
                return false;
            i += length - 1;
        }
        if (!QChar::isSpace(c))
            return false;
    }
    return true;
}
