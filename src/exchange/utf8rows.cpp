#include "exchange/utf8rows.h"

void Utf8Rows::add(const Utf8Values& values)
{
    for (const QByteArrayView value : values)
        addValue(value);
}

void Utf8Rows::addValue(QByteArrayView value)
{
    mStarts.push_back(mText.size());
    mText.append(value.data(), static_cast<size_t>(value.size()));
}

void Utf8Rows::reserve(size_t bytes, size_t rows)
{
    mText.reserve(bytes);
    mStarts.reserve(rows * contact::kFieldCount);
}

Utf8Values Utf8Rows::values(size_t row) const
{
    // The values of a row lie in field order, one after the other.
    Utf8Values values;
    const size_t first = row * contact::kFieldCount;
    const char* text = mText.data();
    for (size_t at = 0; at < values.size(); ++at) {
        const size_t start = mStarts[first + at];
        const size_t end = first + at + 1 < mStarts.size() ? mStarts[first + at + 1] : mText.size();
        values[at] = QByteArrayView(text + start, static_cast<qsizetype>(end - start));
    }
    return values;
}
