#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>

namespace fuzz {

// Reads a fuzz input front to back: single bytes for choices, then the rest as
// texts. Running out of bytes is never an error, so every input is usable.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size);

    // The next byte; 0 once the input is used up.
    uint8_t byte();
    QByteArray rest();
    // The rest, cut at every 0x1E (the record separator, which no field needs).
    QList<QByteArray> parts();

private:
    const uint8_t* mData;
    size_t mSize;
    size_t mAt = 0;
};

// UTF-8 (broken sequences become U+FFFD, as a paste would) or, when utf16 is
// set, raw UTF-16 units that may hold lone surrogates.
QString decodeText(const QByteArray& bytes, bool utf16);

// One of every locale Qt knows, chosen by two bytes.
QLocale pickLocale(uint8_t high, uint8_t low);

// Bytes and texts in a form fit for a report: printable ASCII as is, the rest
// escaped, cut after a few hundred characters.
std::string shown(const QByteArray& bytes);
std::string shown(const QString& text);

// Makes a locale the program's regional format for one scope.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale);
    ~DefaultLocale();
    DefaultLocale(const DefaultLocale&) = delete;
    DefaultLocale& operator=(const DefaultLocale&) = delete;

private:
    QLocale mOld;
};

} // namespace fuzz
