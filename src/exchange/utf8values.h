#pragma once

#include <array>

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
