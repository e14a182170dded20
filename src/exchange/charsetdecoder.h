#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

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
