#include "ui/main/listrow.h"

#include <cstring>

#include "app/apperror.h"
#include "store/textrules.h"

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

QByteArrayView ListRow::utf8(size_t field) const
{
    if (field >= kFields)
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    const uint32_t begin = field == 0 ? 0 : mEnds[field - 1];
    return QByteArrayView(mText.constData() + begin, mEnds[field] - begin);
}

QString ListRow::operator[](size_t field) const
{
    return textFromUtf8(utf8(field));
}

void ListRow::Builder::add(QByteArrayView text)
{
    if (mCount >= kFields)
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    mTexts[mCount++] = text;
}

ListRow ListRow::Builder::take()
{
    qsizetype total = 0;
    for (size_t i = 0; i < mCount; ++i)
        total += mTexts[i].size();
    ListRow row;
    row.mText.resize(total);
    char* out = row.mText.data();
    uint32_t end = 0;
    for (size_t i = 0; i < kFields; ++i) {
        if (i < mCount && !mTexts[i].isEmpty()) {
            std::memcpy(out + end, mTexts[i].data(), static_cast<size_t>(mTexts[i].size()));
            end += static_cast<uint32_t>(mTexts[i].size());
        }
        row.mEnds[i] = end;
    }
    mCount = 0;
    return row;
}
