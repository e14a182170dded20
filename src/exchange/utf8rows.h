#pragma once

#include <string>
#include <vector>

#include "exchange/utf8values.h"

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
