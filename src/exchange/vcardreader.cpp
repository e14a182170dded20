#include "exchange/vcardreader.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <QString>

#include "exchange/carddecoder.h"
#include "exchange/vcardsyntax.h"

namespace {

// What one card may hold. Each property and parameter costs some hundred
// bytes however short it is written, and a card is mapped whole: beyond
// this, a file of a few megabytes could take gigabytes. Real cards hold a
// few dozen.
const qsizetype kMostPartsPerCard = 20000;

using vcardsyntax::equalsIgnoreCase;
using vcardsyntax::isSpaceOrTab;
using vcardsyntax::trimmed;

// A vCard's white space is the space and the tab alone: a line of them
// holds nothing, while a name of other white space is another question.
bool onlySpacesAndTabs(QByteArrayView line)
{
    for (const char c : line) {
        if (!isSpaceOrTab(c))
            return false;
    }
    return true;
}

bool isBase64Char(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=';
}

// vCard 2.1 writers may continue base64 data on lines without leading white
// space; such a line can never be a property because it has no colon.
bool isBase64Only(QByteArrayView line)
{
    if (line.isEmpty())
        return false;
    for (const char c : line) {
        if (!isBase64Char(c) && !isSpaceOrTab(c))
            return false;
    }
    return true;
}

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool isMediaProperty(QByteArrayView name)
{
    return equalsIgnoreCase(name, "PHOTO") || equalsIgnoreCase(name, "LOGO") || equalsIgnoreCase(name, "SOUND") ||
           equalsIgnoreCase(name, "KEY");
}

bool isValidName(QByteArrayView name)
{
    if (name.isEmpty())
        return false;
    for (const char c : name) {
        if (!isNameChar(c) && c != '_')
            return false;
    }
    return true;
}

// Where the name and parameters end; colons inside quoted parameter values
// (LABEL="a:b") do not count.
qsizetype findValueColon(QByteArrayView line)
{
    const qsizetype colon = vcardsyntax::indexOf(line, ':');
    if (colon < 0 || !vcardsyntax::contains(line.first(colon), '"'))
        return colon;
    bool quoted = false;
    bool inParameters = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && inParameters)
            quoted = !quoted;
        else if (c == ';' && !quoted)
            inParameters = true;
        else if (c == ':' && !quoted)
            return i;
    }
    return quoted ? colon : -1;
}

// The name, the group and the transfer encoding: what the structure of the
// file depends on. The decoder reads the parameters in full later.
void scanHeader(QByteArrayView header, RawProperty& property)
{
    QByteArrayView rest = header;
    QByteArrayView name = trimmed(vcardsyntax::nextPiece(rest, ';'));
    const qsizetype dot = vcardsyntax::lastIndexOf(name, '.');
    if (dot >= 0) {
        property.group = name.first(dot);
        name = name.sliced(dot + 1);
    }
    property.name = name;
    property.isProperty = isValidName(name);
    while (property.isProperty && !rest.isNull()) {
        const QByteArrayView part = trimmed(vcardsyntax::nextPiece(rest, ';'));
        property.parameters += 1 + std::count(part.begin(), part.end(), ',');
        const qsizetype equals = vcardsyntax::indexOf(part, '=');
        if (equals < 0) {
            // vCard 2.1 lets the value stand alone: PHOTO;BASE64.
            property.base64 = property.base64 || equalsIgnoreCase(part, "BASE64") || equalsIgnoreCase(part, "B");
            property.quotedPrintable = property.quotedPrintable || equalsIgnoreCase(part, "QUOTED-PRINTABLE");
            continue;
        }
        const QByteArrayView parameter = trimmed(part.first(equals));
        QByteArrayView values = part.sliced(equals + 1);
        const QByteArrayView first = vcardsyntax::unquoted(vcardsyntax::nextPiece(values, ','));
        if (equalsIgnoreCase(parameter, "ENCODING")) {
            property.quotedPrintable = property.quotedPrintable || equalsIgnoreCase(first, "QUOTED-PRINTABLE");
            property.base64 = property.base64 || equalsIgnoreCase(first, "BASE64") || equalsIgnoreCase(first, "B");
        } else if (equalsIgnoreCase(parameter, "VALUE") && equalsIgnoreCase(first, "binary")) {
            property.base64 = true;
        }
    }
}

// Some writers end a quoted-printable value with a stray '='. The next line is
// taken as a new property instead of a continuation when it plainly is one: a
// known name, in any letter case as names are, with a value after a colon, so
// that "Tel; ask for Bo" in the text of a note stays text.
bool looksLikePropertyStart(QByteArrayView line)
{
    static const QByteArrayView known[] = {"BEGIN", "END",   "VERSION", "N",        "FN",         "TEL",   "EMAIL",
                                           "ADR",   "LABEL", "ORG",     "TITLE",    "ROLE",       "NOTE",  "URL",
                                           "BDAY",  "PHOTO", "LOGO",    "NICKNAME", "CATEGORIES", "UID",   "REV",
                                           "GEO",   "TZ",    "KEY",     "SOUND",    "AGENT",      "MAILER"};
    const qsizetype colon = findValueColon(line);
    if (colon <= 0)
        return false;
    RawProperty probe;
    scanHeader(line.first(colon), probe);
    if (!probe.isProperty)
        return false;
    if (probe.name.size() > 2 && equalsIgnoreCase(probe.name.first(2), "X-"))
        return true;
    return std::any_of(std::begin(known), std::end(known),
                       [&probe](QByteArrayView name) { return equalsIgnoreCase(probe.name, name); });
}

// Bytes some programs pad a file with after its last card: a DOS
// end-of-file mark, NULs, a form feed.
bool isPadding(char c)
{
    return isSpaceOrTab(c) || c == '\0' || c == '\x1a' || c == '\f' || c == '\v';
}

bool isPaddingOnly(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), isPadding);
}

class Parser {
public:
    Parser(QByteArrayView data, const std::function<bool(const RawCard&)>& onCard, VCardReader::Binary binary)
        : mData(data), mOnCard(onCard), mKeepBinary(binary == VCardReader::Binary::Keep)
    {
    }

    VCardReadResult run();

private:
    void physicalLine(int number, QByteArrayView line);
    void startLogical(int number, QByteArrayView line);
    // The header and value of a logical line, or the line as the value of one
    // that is no property.
    void readLine(QByteArrayView line);
    void finishLogical();
    void outsideCard(bool isBegin, bool isEnd);
    void fail(int line, const QString& reason);

    QByteArrayView pendingValue() const { return mJoined ? QByteArrayView(*mJoined) : mPending.value; }
    void appendToValue(QByteArrayView part);
    void chopValue();

    QByteArrayView mData;
    const std::function<bool(const RawCard&)>& mOnCard;
    const bool mKeepBinary;
    // Where the logical line being read begins and its last physical line
    // ends, in the file.
    const char* mPendingStart = nullptr;
    const char* mPendingEnd = nullptr;
    const char* mCardStart = nullptr;
    VCardReadResult mResult;
    // The logical line being read; its value grows while folded lines follow.
    RawProperty mPending;
    bool mHavePending = false;
    bool mSkipValue = false;
    // The buffer the pending value was copied to once a folded line joined
    // it. The buffers are kept from card to card: a card's views point into
    // them until the next card begins.
    QByteArray* mJoined = nullptr;
    std::vector<QByteArray> mBuffers;
    size_t mBuffersUsed = 0;
    bool mInCard = false;
    // The card's properties and parameters so far.
    qsizetype mCardParts = 0;
    int mNestedDepth = 0;
    int mCardsRead = 0;
    RawCard mCard;
    bool mFailed = false;
    bool mStopped = false;
};

VCardReadResult Parser::run()
{
    qsizetype position = 0;
    int lineNumber = 0;
    while (!mData.isEmpty() && (isPadding(mData.back()) || mData.back() == '\r' || mData.back() == '\n'))
        mData.chop(1);
    const qsizetype size = mData.size();
    if (size >= 3 && std::memcmp(mData.data(), "\xEF\xBB\xBF", 3) == 0)
        position = 3;
    bool sawContent = false;
    while (position < size && !mFailed && !mStopped) {
        qsizetype end = vcardsyntax::findLineEnd(mData, position);
        const QByteArrayView line = mData.sliced(position, end - position);
        ++lineNumber;
        sawContent = sawContent || !onlySpacesAndTabs(line);
        physicalLine(lineNumber, line);
        if (end < size && mData[end] == '\r' && end + 1 < size && mData[end + 1] == '\n')
            ++end;
        position = end + 1;
    }
    if (!mFailed && !mStopped && mHavePending)
        finishLogical();
    if (mFailed || mStopped)
        return mResult;
    if (mInCard)
        fail(mCard.line, QStringLiteral("card not ended"));
    else if (!sawContent)
        fail(1, QStringLiteral("empty file"));
    return mResult;
}

void Parser::appendToValue(QByteArrayView part)
{
    if (!mJoined) {
        if (mBuffersUsed == mBuffers.size())
            mBuffers.emplace_back();
        mJoined = &mBuffers[mBuffersUsed++];
        mJoined->truncate(0);
        mJoined->append(mPending.value);
    }
    mJoined->append(part);
}

void Parser::chopValue()
{
    if (mJoined)
        mJoined->chop(1);
    else
        mPending.value.chop(1);
}

void Parser::physicalLine(int number, QByteArrayView line)
{
    if (mHavePending) {
        const bool binaryish = mPending.base64;
        if (mPending.quotedPrintable && !binaryish && pendingValue().endsWith('=')) {
            // A soft line break: the next physical line continues the value as it is.
            if (onlySpacesAndTabs(line)) {
                chopValue();
                finishLogical();
                return;
            }
            if (!looksLikePropertyStart(line)) {
                mPendingEnd = line.end();
                chopValue();
                appendToValue(line);
                return;
            }
        }
        if (!line.isEmpty() && isSpaceOrTab(line[0])) {
            mPendingEnd = line.end();
            if (!mSkipValue)
                appendToValue(line.sliced(1));
            return;
        }
        if (binaryish && isBase64Only(line)) {
            mPendingEnd = line.end();
            if (!mSkipValue)
                appendToValue(line);
            return;
        }
        finishLogical();
        if (mFailed || mStopped)
            return;
    }
    if (onlySpacesAndTabs(line) || (!mInCard && isPaddingOnly(line)))
        return;
    startLogical(number, line);
}

void Parser::startLogical(int number, QByteArrayView line)
{
    mPending = RawProperty();
    mPending.line = number;
    mJoined = nullptr;
    mHavePending = true;
    mPendingStart = line.data();
    mPendingEnd = line.end();
    readLine(line);
}

void Parser::readLine(QByteArrayView line)
{
    mSkipValue = false;
    const qsizetype colon = findValueColon(line);
    if (colon >= 0) {
        mPending.header = line.first(colon);
        scanHeader(mPending.header, mPending);
    }
    if (!mPending.isProperty) {
        mPending.value = line;
        return;
    }
    const QByteArrayView value = line.sliced(colon + 1);
    const bool media = isMediaProperty(mPending.name);
    const bool extension = mPending.name.size() > 2 && equalsIgnoreCase(mPending.name.first(2), "X-");
    const bool dataUri = media && value.size() >= 5 && equalsIgnoreCase(value.first(5), "data:");
    mPending.binary = (media || extension) && (mPending.base64 || dataUri);
    mSkipValue = mPending.binary && !mKeepBinary;
    if (!mSkipValue)
        mPending.value = value;
}

void Parser::finishLogical()
{
    mHavePending = false;
    if (mJoined) {
        mPending.value = *mJoined;
        // A header folded before its colon (a long parameter list) makes a
        // property only once its lines are joined.
        if (!mPending.isProperty && mPending.header.isNull())
            readLine(*mJoined);
    }
    const RawProperty& pending = mPending;
    const bool structural = pending.isProperty && pending.group.isEmpty();
    const bool isBegin =
        structural && equalsIgnoreCase(pending.name, "BEGIN") && equalsIgnoreCase(trimmed(pending.value), "VCARD");
    const bool isEnd =
        structural && equalsIgnoreCase(pending.name, "END") && equalsIgnoreCase(trimmed(pending.value), "VCARD");

    if (!mInCard) {
        outsideCard(isBegin, isEnd);
        return;
    }
    if (mNestedDepth > 0) {
        if (isBegin)
            ++mNestedDepth;
        else if (isEnd)
            --mNestedDepth;
        return;
    }
    if (isBegin) {
        // Only vCard 2.1's AGENT may embed a whole card; anything else means a missing END.
        const bool afterAgent = !mCard.properties.empty() && equalsIgnoreCase(mCard.properties.back().name, "AGENT");
        if (!afterAgent) {
            fail(mCard.line, QStringLiteral("card not ended"));
            return;
        }
        mNestedDepth = 1;
        mCard.embeddedCardSkipped = true;
        return;
    }
    if (isEnd) {
        mInCard = false;
        ++mCardsRead;
        mCard.text = QByteArrayView(mCardStart, mPendingEnd);
        mStopped = !mOnCard(mCard);
        return;
    }
    // Every version is read alike; what it says decides how a kept card is
    // written again.
    if (structural && equalsIgnoreCase(pending.name, "VERSION")) {
        if (mCard.version.isNull())
            mCard.version = trimmed(pending.value);
        return;
    }
    mCardParts += 1 + pending.parameters;
    if (mCardParts > kMostPartsPerCard) {
        fail(mCard.line,
             QStringLiteral("card too large to import: more than %1 properties and parameters").arg(kMostPartsPerCard));
        return;
    }
    mCard.properties.push_back(pending);
}

void Parser::outsideCard(bool isBegin, bool isEnd)
{
    if (isBegin) {
        mInCard = true;
        // Cleared rather than made anew: the lists keep their room for the
        // next card, and the buffers their memory.
        mCard.properties.clear();
        mCard.embeddedCardSkipped = false;
        mCard.version = QByteArrayView();
        mCard.line = mPending.line;
        mCardStart = mPendingStart;
        mCardParts = 0;
        mBuffersUsed = 0;
        return;
    }
    if (isEnd)
        fail(mPending.line, QStringLiteral("END:VCARD without BEGIN:VCARD"));
    else if (mCardsRead == 0)
        fail(mPending.line, QStringLiteral("not a vCard file"));
    else
        fail(mPending.line, QStringLiteral("text outside a card"));
}

void Parser::fail(int line, const QString& reason)
{
    mFailed = true;
    mResult.cards.clear();
    mResult.errorLine = line;
    mResult.error = reason;
}

QByteArray utf8FromUtf16(QByteArrayView data)
{
    const bool littleEndian = static_cast<unsigned char>(data[0]) == 0xFF;
    QString text((data.size() - 2) / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto first = static_cast<unsigned char>(data[2 + 2 * i]);
        const auto second = static_cast<unsigned char>(data[3 + 2 * i]);
        text[i] = QChar(littleEndian ? char16_t(first | (second << 8)) : char16_t((first << 8) | second));
    }
    return text.toUtf8();
}

bool isUtf16(QByteArrayView data)
{
    if (data.size() < 2)
        return false;
    const auto b0 = static_cast<unsigned char>(data[0]);
    const auto b1 = static_cast<unsigned char>(data[1]);
    return (b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF);
}

} // namespace

VCardReadResult VCardReader::read(QByteArrayView data, const std::function<bool(const RawCard&)>& onCard,
                                  Binary binary)
{
    // Windows tools sometimes save as UTF-16 with a byte order mark.
    if (isUtf16(data)) {
        const QByteArray converted = utf8FromUtf16(data);
        return Parser(converted, onCard, binary).run();
    }
    return Parser(data, onCard, binary).run();
}

VCardReadResult VCardReader::read(const QByteArray& data, Binary binary)
{
    CardDecoder decoder;
    QList<VCardCard> cards;
    VCardReadResult result = read(
        QByteArrayView(data),
        [&](const RawCard& raw) {
            cards.append(decoder.decode(raw));
            return true;
        },
        binary);
    if (result.ok())
        result.cards = std::move(cards);
    return result;
}

int VCardReader::countCards(QByteArrayView data)
{
    if (isUtf16(data))
        return countCards(utf8FromUtf16(data));
    // Files with lone CR line ends have no LF at all.
    const char lineEnd = vcardsyntax::contains(data, '\n') ? '\n' : '\r';
    const auto beginsCard = [&data](qsizetype at) {
        return data.size() - at >= 11 && equalsIgnoreCase(data.sliced(at, 11), "BEGIN:VCARD");
    };
    int cards = beginsCard(data.startsWith("\xEF\xBB\xBF") ? 3 : 0) ? 1 : 0;
    const char* bytes = data.data();
    const qsizetype size = data.size();
    qsizetype at = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time; a file of a hundred thousand cards has over a
    // million lines.
    const __m128i end = _mm_set1_epi8(lineEnd);
    for (; at + 16 <= size; at += 16) {
        auto found = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at)), end)));
        while (found) {
            cards += beginsCard(at + __builtin_ctz(found) + 1) ? 1 : 0;
            found &= found - 1;
        }
    }
#endif
    for (; at < size; ++at)
        cards += bytes[at] == lineEnd && beginsCard(at + 1) ? 1 : 0;
    return cards;
}
