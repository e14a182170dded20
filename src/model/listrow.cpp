#include "model/listrow.h"

#include <algorithm>
#include <cstring>

#include "base/apperror.h"
#include "model/storedtext.h"

ListRow::ListRow(const std::array<QString, kFields>& texts)
{
    std::array<QByteArray, kFields> utf8;
    Builder builder;
    for (size_t i = 0; i < kFields; ++i) {
        utf8[i] = texts[i].toUtf8();
        builder.add(utf8[i]);
    }
    *this = builder.take();
}

namespace {

uint32_t endAt(const char* header, size_t field)
{
    uint32_t end;
    std::memcpy(&end, header + 1 + 4 * field, sizeof end);
    return end;
}

} // namespace

size_t ListRow::heldColumns() const
{
    return mData.isEmpty() ? 0 : static_cast<unsigned char>(mData[0]);
}

QByteArrayView ListRow::utf8(size_t field) const
{
    if (field >= kFields)
        throw AppError::indexOutOfBounds();
    const size_t held = heldColumns();
    if (field >= held)
        return QByteArrayView("", 0);
    const char* data = mData.constData();
    const char* texts = data + 1 + 4 * held;
    const uint32_t begin = field == 0 ? 0 : endAt(data, field - 1);
    return QByteArrayView(texts + begin, endAt(data, field) - begin);
}

QString ListRow::operator[](size_t field) const
{
    return textFromUtf8(utf8(field));
}

QString ListRow::shownText(size_t field, qsizetype maxCharacters) const
{
    const QByteArrayView text = utf8(field);
    // A UTF-8 character takes at most four bytes: only as much is decoded as
    // can be shown.
    if (text.size() <= maxCharacters)
        return textFromUtf8(text);
    qsizetype end = std::min(text.size(), maxCharacters * 4);
    while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    QString shown = textFromUtf8(text.first(end));
    if (shown.size() <= maxCharacters && end == text.size())
        return shown;
    shown.truncate(maxCharacters);
    if (shown.size() > 0 && shown.back().isHighSurrogate())
        shown.chop(1);
    return shown + QChar(0x2026);
}

void ListRow::Builder::add(QByteArrayView text)
{
    if (mCount >= kFields)
        throw AppError::indexOutOfBounds();
    mTexts[mCount++] = text;
}

ListRow ListRow::Builder::take()
{
    qsizetype total = 0;
    for (size_t i = 0; i < mCount; ++i)
        total += mTexts[i].size();
    const qsizetype header = 1 + 4 * static_cast<qsizetype>(mCount);
    ListRow row;
    // Exactly the size asked for: resize() would round the capacity up.
    row.mData = QByteArray(header + total, Qt::Uninitialized);
    char* out = row.mData.data();
    out[0] = static_cast<char>(mCount);
    char* texts = out + header;
    uint32_t end = 0;
    for (size_t i = 0; i < mCount; ++i) {
        if (!mTexts[i].isEmpty()) {
            std::memcpy(texts + end, mTexts[i].data(), static_cast<size_t>(mTexts[i].size()));
            end += static_cast<uint32_t>(mTexts[i].size());
        }
        std::memcpy(out + 1 + 4 * i, &end, sizeof end);
    }
    mCount = 0;
    return row;
}
