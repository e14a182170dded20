#pragma once

#include <array>
#include <string>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

#include "model/contact.h"

// A contact's values in field order as UTF-8, as the store keeps them: what
// a large import and export pass along instead of thirteen QStrings each.
using Utf8Values = std::array<QByteArrayView, contact::kFieldCount>;

inline QByteArrayView& valueOf(Utf8Values& values, contact::Field field)
{
    return values[static_cast<size_t>(contact::indexOf(field))];
}

inline QByteArrayView valueOf(const Utf8Values& values, contact::Field field)
{
    return values[static_cast<size_t>(contact::indexOf(field))];
}

// A contact's values as UTF-8, with the bytes the views point into.
struct ContactUtf8 {
    explicit ContactUtf8(const Contact& contact)
    {
        for (size_t at = 0; at < bytes.size(); ++at) {
            bytes[at] = contact.begin()[at].toUtf8();
            values[at] = bytes[at];
        }
    }
    ContactUtf8(const ContactUtf8&) = delete;
    ContactUtf8& operator=(const ContactUtf8&) = delete;

    std::array<QByteArray, contact::kFieldCount> bytes;
    Utf8Values values;
};

// Contacts' values as UTF-8 in one block of text: a hundred thousand contacts
// cost a few allocations instead of a million strings.
class Utf8Rows {
public:
    void add(const Utf8Values& values);
    // Adds one value of the row being added, in field order.
    void addValue(QByteArrayView value);
    // Room for this many bytes of values in this many rows.
    void reserve(size_t bytes, size_t rows);
    size_t bytes() const { return mText.size(); }
    // No rows, with the room there was.
    void clear()
    {
        mText.clear();
        mStarts.clear();
    }

    size_t size() const { return mStarts.size() / contact::kFieldCount; }
    Utf8Values values(size_t row) const;

private:
    std::string mText;
    // Where each value starts; a value ends where the next one starts.
    std::vector<size_t> mStarts;
};
