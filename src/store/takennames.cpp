#include "store/takennames.h"

#include "model/storedtext.h"
#include "store/asciicase.h"
#include "store/casefolding.h"

namespace {

char* appendUtf8(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

} // namespace

void TakenNames::add(QByteArrayView name)
{
    const QByteArray folded = fold(name);
    ++mNames[QByteArray(folded.constData(), folded.size())];
}

void TakenNames::remove(QByteArrayView name)
{
    const auto found = mNames.find(fold(name));
    if (found != mNames.end() && --*found == 0)
        mNames.erase(found);
}

bool TakenNames::contains(QByteArrayView name)
{
    return mNames.contains(fold(name));
}

QByteArray TakenNames::fold(QByteArrayView name)
{
    mFolded.resize(name.size() + 16);
    char* out = mFolded.data();
    for (qsizetype i = 0; i < name.size(); ++i) {
        // Room for what one character folds to: three at most, of four
        // bytes each. Made as it is needed, not for the worst case at once:
        // a name may be megabytes long.
        if (mFolded.constData() + mFolded.size() - out < 12) {
            const qsizetype written = out - mFolded.constData();
            mFolded.resize(mFolded.size() * 2 + 12);
            out = mFolded.data() + written;
        }
        char32_t c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80) {
            const int length = utf8SequenceAt(name, i, &c);
            if (length == 0) {
                // As the editor reads it, replacement characters and all.
                mFolded = mFolding.fold(textFromUtf8(name)).toUtf8();
                return mFolded;
            }
            i += length - 1;
        } else if (!mFolding.isTurkic()) {
            // ASCII folds to its small letters, but for the Turkic I.
            *out++ = asciiLower(name[i]);
            continue;
        }
        UChar32 folded[3];
        const int count = mFolding.fold(static_cast<UChar32>(c), folded);
        for (int k = 0; k < count; ++k)
            out = appendUtf8(out, static_cast<char32_t>(folded[k]));
    }
    return QByteArray::fromRawData(mFolded.constData(), out - mFolded.constData());
}
