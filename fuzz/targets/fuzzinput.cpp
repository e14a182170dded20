#include "fuzzinput.h"

#include <cstdio>

namespace fuzz {

FuzzInput::FuzzInput(const uint8_t* data, size_t size) : mData(data), mSize(size) {}

uint8_t FuzzInput::byte()
{
    return mAt < mSize ? mData[mAt++] : 0;
}

QByteArray FuzzInput::rest()
{
    const QByteArray bytes(reinterpret_cast<const char*>(mData + mAt), static_cast<qsizetype>(mSize - mAt));
    mAt = mSize;
    return bytes;
}

QList<QByteArray> FuzzInput::parts()
{
    return rest().split('\x1e');
}

QString decodeText(const QByteArray& bytes, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(bytes);
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text +=
            QChar(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    return text;
}

QLocale pickLocale(uint8_t high, uint8_t low)
{
    static const QList<QLocale> all =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    if (all.isEmpty())
        return QLocale::c();
    return all[((high << 8) | low) % all.size()];
}

std::string shown(const QByteArray& bytes)
{
    std::string out;
    for (qsizetype i = 0; i < bytes.size() && out.size() < 400; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    if (out.size() >= 400)
        out += "...";
    return '"' + out + '"';
}

std::string shown(const QString& text)
{
    std::string out;
    for (qsizetype i = 0; i < text.size() && out.size() < 400; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0x7f && c != u'\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[10];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    if (out.size() >= 400)
        out += "...";
    return '"' + out + '"';
}

DefaultLocale::DefaultLocale(const QLocale& locale) : mOld(QLocale())
{
    QLocale::setDefault(locale);
}

DefaultLocale::~DefaultLocale()
{
    QLocale::setDefault(mOld);
}

} // namespace fuzz
