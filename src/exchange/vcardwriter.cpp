#include "exchange/vcardwriter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include <QByteArrayList>
#include <QList>
#include <QStringList>
#include <QVarLengthArray>

#include "base/apperror.h"
#include "exchange/cardfields.h"
#include "exchange/fieldrules.h"
#include "exchange/keptcardmerge.h"
#include "exchange/remarklines.h"
#include "exchange/vcardcard.h"
#include "exchange/vcardreader.h"
#include "exchange/vcardsyntax.h"
#include "model/storedtext.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif


namespace {

constexpr int kMaxLineOctets = 75;

// The ASCII characters a text value escapes, so that the hot loop needs one
// look-up per character instead of five comparisons.
constexpr std::array<bool, 128> kNeedsEscape = [] {
    std::array<bool, 128> table{};
    table['\\'] = true;
    table[','] = true;
    table[';'] = true;
    table['\n'] = true;
    table['\r'] = true;
    return table;
}();

} // namespace

FoldingWriter::FoldingWriter()
{
    mBuffer.resize(4096);
}

void FoldingWriter::grow(qsizetype extra)
{
    qsizetype capacity = std::max<qsizetype>(mBuffer.size() * 2, 4096);
    while (capacity < mSize + extra)
        capacity *= 2;
    mBuffer.resize(capacity);
}

void FoldingWriter::ascii(const char* text, qsizetype length)
{
    reserve(length * 2 + 8);
    char* out = mBuffer.data() + mSize;
    if (mColumn + length <= kMaxLineOctets) {
        std::memcpy(out, text, static_cast<size_t>(length));
        mSize += length;
        mColumn += static_cast<int>(length);
        return;
    }
    for (qsizetype i = 0; i < length; ++i) {
        if (mColumn >= kMaxLineOctets) {
            *out++ = '\r';
            *out++ = '\n';
            *out++ = ' ';
            mColumn = 1;
        }
        *out++ = text[i];
        ++mColumn;
    }
    mSize = out - mBuffer.data();
}

void FoldingWriter::text(QStringView text, bool escape)
{
    // Worst case per UTF-16 unit is three bytes plus a share of a fold.
    reserve(text.size() * 4 + 16);
    char* out = mBuffer.data() + mSize;
    int column = mColumn;
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char bytes[4];
        int count = 0;
        char32_t unit = units[i];
        if (unit < 0x80) {
            if (escape && kNeedsEscape[unit]) {
                bytes[0] = '\\';
                if (unit == u'\n' || unit == u'\r') {
                    if (unit == u'\r' && i + 1 < size && units[i + 1] == u'\n')
                        ++i;
                    mCarriageReturns += unit == u'\r' ? 1 : 0;
                    bytes[1] = 'n';
                } else {
                    bytes[1] = static_cast<char>(unit);
                }
                count = 2;
            } else {
                if (column < kMaxLineOctets) {
                    *out++ = static_cast<char>(unit);
                    ++column;
                    continue;
                }
                bytes[0] = static_cast<char>(unit);
                count = 1;
            }
        } else {
            char32_t codePoint = unit;
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < size && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
                codePoint = 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00);
                ++i;
            } else if (unit >= 0xD800 && unit <= 0xDFFF) {
                codePoint = 0xFFFD;
            }
            if (codePoint < 0x800) {
                bytes[0] = static_cast<char>(0xC0 | (codePoint >> 6));
                bytes[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
                count = 2;
            } else if (codePoint < 0x10000) {
                bytes[0] = static_cast<char>(0xE0 | (codePoint >> 12));
                bytes[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
                bytes[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
                count = 3;
            } else {
                bytes[0] = static_cast<char>(0xF0 | (codePoint >> 18));
                bytes[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
                bytes[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
                bytes[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
                count = 4;
            }
        }
        if (column + count > kMaxLineOctets) {
            *out++ = '\r';
            *out++ = '\n';
            *out++ = ' ';
            column = 1;
        }
        for (int b = 0; b < count; ++b)
            *out++ = bytes[b];
        column += count;
    }
    mColumn = column;
    mSize = out - mBuffer.data();
}

qsizetype FoldingWriter::firstToEscape(const char* bytes, qsizetype size)
{
    qsizetype i = 0;
#ifdef __SSE2__
    for (; i + 16 <= size; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        __m128i special = _mm_cmpeq_epi8(block, _mm_set1_epi8('\\'));
        special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8(',')));
        special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8(';')));
        special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8('\n')));
        special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8('\r')));
        if (const int found = _mm_movemask_epi8(special))
            return i + __builtin_ctz(static_cast<unsigned>(found));
    }
#endif
    for (; i < size; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80 && kNeedsEscape[c])
            return i;
    }
    return size;
}

void FoldingWriter::setCheckedUtf8(QByteArrayView text)
{
    mChecked = text;
    mCheckedFirstToEscape = text.data() + firstToEscape(text.data(), text.size());
}

bool FoldingWriter::isChecked(QByteArrayView value) const
{
    if (mChecked.isEmpty())
        return false;
    const auto boundary = [this](const char* at) {
        return at == mChecked.end() || (static_cast<unsigned char>(*at) & 0xC0) != 0x80;
    };
    const std::less_equal<const char*> notAfter;
    return notAfter(mChecked.begin(), value.begin()) && notAfter(value.end(), mChecked.end()) &&
           boundary(value.begin()) && boundary(value.end());
}

void FoldingWriter::utf8(QByteArrayView value, bool escape)
{
    if (isChecked(value)) {
        if (std::less_equal<const char*>()(value.end(), mCheckedFirstToEscape))
            escape = false;
    } else if (!vcardsyntax::isValidUtf8(value)) {
        // Rare enough to take the long way, as the program reads it.
        text(textFromUtf8(value), escape);
        return;
    }
    // Each byte may become an escape pair, and every 74 bytes a fold.
    reserve(value.size() * 3 + 16);
    char* out = mBuffer.data() + mSize;
    int column = mColumn;
    const char* bytes = value.data();
    const qsizetype size = value.size();
    qsizetype i = 0;
    // As much as fits on the line goes in one copy: up to the next character
    // to escape, and never part of a UTF-8 sequence.
    while (i < size) {
        qsizetype take = std::min<qsizetype>(kMaxLineOctets - column, size - i);
        if (escape)
            take = firstToEscape(bytes + i, take);
        while (take > 0 && i + take < size && (static_cast<unsigned char>(bytes[i + take]) & 0xC0) == 0x80)
            --take;
        if (take > 0) {
            std::memcpy(out, bytes + i, static_cast<size_t>(take));
            out += take;
            i += take;
            column += static_cast<int>(take);
            continue;
        }
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (escape && c < 0x80 && kNeedsEscape[c]) {
            if (column + 2 > kMaxLineOctets) {
                std::memcpy(out, "\r\n ", 3);
                out += 3;
                column = 1;
            }
            *out++ = '\\';
            if (c == '\n' || c == '\r') {
                if (c == '\r' && i + 1 < size && bytes[i + 1] == '\n')
                    ++i;
                mCarriageReturns += c == '\r' ? 1 : 0;
                *out++ = 'n';
            } else {
                *out++ = static_cast<char>(c);
            }
            ++i;
            column += 2;
        } else {
            // The line is full, or the next character does not fit on it.
            std::memcpy(out, "\r\n ", 3);
            out += 3;
            column = 1;
        }
    }
    mColumn = column;
    mSize = out - mBuffer.data();
}

void FoldingWriter::raw(QByteArrayView bytes)
{
    reserve(bytes.size());
    std::memcpy(mBuffer.data() + mSize, bytes.data(), static_cast<size_t>(bytes.size()));
    mSize += bytes.size();
    // memrchr, not lastIndexOf: a kept card goes out here a line at a time,
    // and Qt's search walks each whole line a byte at a time.
    const auto* lastBreak = static_cast<const char*>(memrchr(bytes.data(), '\n', static_cast<size_t>(bytes.size())));
    const qsizetype tail = lastBreak == nullptr ? bytes.size() + mColumn : bytes.end() - lastBreak - 1;
    mColumn = static_cast<int>(std::min<qsizetype>(tail, kMaxLineOctets));
}

void FoldingWriter::endLine()
{
    reserve(2);
    mBuffer.data()[mSize++] = '\r';
    mBuffer.data()[mSize++] = '\n';
    mColumn = 0;
}

QByteArray FoldingWriter::takeBytes()
{
    mBuffer.truncate(mSize);
    QByteArray result = std::move(mBuffer);
    mBuffer = QByteArray();
    mSize = 0;
    mColumn = 0;
    return result;
}

namespace {

using contact::Field;
using contact::FieldInfo;

// The remark as it is written: whole as NOTE, or as the note above it and the
// properties its last lines came from.
struct RemarkSplit {
    bool converted = false;
    QString note;
    QList<VCardProperty> properties;
};

void writeStructuredName(FoldingWriter& out, QByteArrayView name)
{
    const QByteArray value = PersonName::of(name).structuredValue();
    out.ascii("N:");
    out.utf8(value, false);
    out.endLine();
}

void writeBirthday(FoldingWriter& out, QByteArrayView birth, VCardVersion version, const StoredDateForm& dates)
{
    const bool v4 = version == VCardVersion::V40;
    if (dates.dateOf(birth).isValid()) {
        // Stored as MM/dd/yyyy: the digits are taken as they stand.
        out.ascii("BDAY:");
        out.ascii(birth.data() + 6, 4);
        if (!v4)
            out.ascii("-");
        out.ascii(birth.data(), 2);
        if (!v4)
            out.ascii("-");
        out.ascii(birth.data() + 3, 2);
    } else {
        // Any other text comes back verbatim through a form of the program's
        // own; 3.0's BDAY allows dates only.
        if (v4) {
            out.ascii("BDAY;VALUE=text;");
            out.ascii(ContactMapper::kFieldHint);
            out.ascii("=birthday:");
        } else {
            out.ascii("X-BIRTHDAY-TEXT:");
        }
        out.utf8(birth, true);
    }
    out.endLine();
}

// What the table says of each field for its line, measured and looked up
// once instead of for every card.
struct FieldLines {
    // The property and its parameters up to the value or the slot hint.
    std::array<QByteArray, contact::kFieldCount> start;
    // A phone's hint that keeps its number in its own slot.
    std::array<QByteArray, contact::kFieldCount> slotHint;
    // A phone's slot of the same kind before its own, or -1.
    std::array<int, contact::kFieldCount> earlierSlot{};
};

const FieldLines& fieldLines()
{
    static const FieldLines lines = [] {
        FieldLines made;
        for (const FieldInfo& field : contact::fields()) {
            const auto at = static_cast<size_t>(contact::indexOf(field.field));
            made.earlierSlot[at] = -1;
            if (!field.phoneKind) {
                made.start[at] = field.vcardProperty;
                continue;
            }
            made.start[at] = QByteArray("TEL;TYPE=") + field.vcardPhoneType;
            made.slotHint[at] = QByteArray(";") + ContactMapper::kFieldHint + '=' + field.vcardSlot;
            for (const FieldInfo& other : contact::fields()) {
                if (other.field == field.field)
                    break;
                if (other.phoneKind && qstrcmp(other.phoneKind, field.phoneKind) == 0)
                    made.earlierSlot[at] = contact::indexOf(other.field);
            }
        }
        return made;
    }();
    return lines;
}

void writePhone(FoldingWriter& out, const Utf8Values& values, const FieldInfo& phone)
{
    const FieldLines& lines = fieldLines();
    const auto at = static_cast<size_t>(contact::indexOf(phone.field));
    const QByteArrayView number = values[at];
    out.ascii(lines.start[at].constData(), lines.start[at].size());
    // A number whose kind has an empty slot before its own would come back
    // in that slot; the hint keeps it in its own.
    const int earlier = lines.earlierSlot[at];
    if (earlier >= 0 && values[static_cast<size_t>(earlier)].isEmpty())
        out.ascii(lines.slotHint[at].constData(), lines.slotHint[at].size());
    if (number.size() >= 4 && qstrnicmp(number.data(), "tel:", 4) == 0)
        out.ascii(";VALUE=text");
    out.ascii(":");
    out.utf8(number, true);
    out.endLine();
}

// vCard knows one line break only, written \n. A remark with carriage
// returns (from another program) names its breaks in a parameter of the
// program's own, so that an import gives back the very bytes; other programs
// ignore it and read the same lines.
void writeNoteBreaks(FoldingWriter& out, QByteArrayView remark)
{
    QByteArrayList kinds;
    for (qsizetype i = 0; i < remark.size(); ++i) {
        if (remark[i] == '\r' && i + 1 < remark.size() && remark[i + 1] == '\n') {
            kinds << "crlf";
            ++i;
        } else if (remark[i] == '\r') {
            kinds << "cr";
        } else if (remark[i] == '\n') {
            kinds << "lf";
        }
    }
    if (std::all_of(kinds.cbegin(), kinds.cend(), [&kinds](const QByteArray& kind) { return kind == kinds.front(); }))
        kinds = kinds.mid(0, 1);
    out.ascii(";");
    out.ascii(ContactMapper::kLineBreaks);
    out.ascii("=");
    const QByteArray joined = kinds.join('-');
    out.ascii(joined.constData(), joined.size());
}

// True when a carriage return outside the remark went out as a plain line
// break: the note alone names its breaks.
bool writeCard(FoldingWriter& out, const Utf8Values& values, VCardVersion version, const StoredDateForm& dates,
               const RemarkSplit& split, QByteArrayView uid)
{
    const bool v4 = version == VCardVersion::V40;
    qsizetype carriedReturns = 0;
    const qsizetype returnsBefore = out.carriageReturns();
    out.ascii("BEGIN:VCARD");
    out.endLine();
    if (v4)
        out.ascii("VERSION:4.0");
    else
        out.ascii("VERSION:3.0");
    out.endLine();
    for (const FieldInfo& field : contact::fields()) {
        const QByteArrayView value = valueOf(values, field.field);
        if (field.field == Field::Name) {
            // Written even when empty: both are required.
            out.ascii("FN:");
            out.utf8(value, true);
            out.endLine();
            writeStructuredName(out, value);
        } else if (field.field == Field::Remark) {
            for (const VCardProperty& property : split.properties)
                writeProperty(out, property, version);
            const qsizetype returnsBeforeNote = out.carriageReturns();
            if (split.converted ? !split.note.isEmpty() : !value.isEmpty()) {
                out.ascii("NOTE");
                if (!split.converted && vcardsyntax::contains(value, '\r'))
                    writeNoteBreaks(out, value);
                out.ascii(":");
                if (split.converted)
                    out.text(split.note, true);
                else
                    out.utf8(value, true);
                out.endLine();
            }
            carriedReturns = out.carriageReturns() - returnsBeforeNote;
        } else if (value.isEmpty()) {
            continue;
        } else if (field.field == Field::DateOfBirth) {
            writeBirthday(out, value, version, dates);
        } else if (field.phoneKind) {
            writePhone(out, values, field);
        } else {
            const QByteArray& start = fieldLines().start[static_cast<size_t>(contact::indexOf(field.field))];
            out.ascii(start.constData(), start.size());
            if (field.field == Field::Email && !v4)
                out.ascii(";TYPE=internet");
            out.ascii(":");
            out.utf8(value, true);
            out.endLine();
        }
    }
    if (!uid.isEmpty()) {
        out.ascii("UID:");
        out.utf8(uid, false);
        out.endLine();
    }
    out.ascii("END:VCARD");
    out.endLine();
    return out.carriageReturns() - returnsBefore > carriedReturns;
}

// The name of the property a line of a card begins, in any letter case.
bool startsProperty(QByteArrayView line, const char* name)
{
    const auto length = static_cast<qsizetype>(std::strlen(name));
    if (line.size() <= length || !vcardsyntax::equalsIgnoreCase(line.first(length), QByteArrayView(name, length)))
        return false;
    return line[length] == ':' || line[length] == ';';
}

// A kept card as it came, when it came in the version being written: its
// lines as they stand (with CRLF ends), but for its own PRODID and REV, and
// with the UID when it has none. False, with nothing written, for a card of
// another version.
bool copyAsItCame(FoldingWriter& out, QByteArrayView card, VCardVersion version, QByteArrayView uid)
{
    const QByteArrayView wanted = version == VCardVersion::V40 ? QByteArrayView("4.0") : QByteArrayView("3.0");
    bool sameVersion = false;
    bool hasUid = false;
    // Runs of lines that go out as they stand, CRLF ends and all: most cards
    // are one or two, and a hundred thousand of them go out a run at a time
    // rather than a line at a time.
    QVarLengthArray<QByteArrayView, 8> runs;
    bool skipping = false;
    for (qsizetype at = 0; at < card.size();) {
        const qsizetype end = vcardsyntax::findLineEnd(card, at);
        const QByteArrayView line = card.sliced(at, end - at);
        at = end + (end < card.size() && card[end] == '\r' && end + 1 < card.size() && card[end + 1] == '\n' ? 2 : 1);
        const bool continued = !line.isEmpty() && vcardsyntax::isSpaceOrTab(line[0]);
        if (!continued && line.isEmpty()) {
            skipping = false;
        } else if (!continued) {
            switch (line[0] | 0x20) {
            case 'p':
            case 'r':
                skipping = startsProperty(line, "PRODID") || startsProperty(line, "REV");
                break;
            case 'u':
                skipping = false;
                hasUid = hasUid || startsProperty(line, "UID");
                break;
            case 'v':
                skipping = false;
                if (startsProperty(line, "VERSION"))
                    sameVersion = vcardsyntax::trimmed(line.sliced(8)) == wanted;
                break;
            default:
                skipping = false;
            }
        }
        if (skipping || line.isEmpty())
            continue;
        // A line right after the one before, past a CRLF, joins its run.
        if (!runs.empty() && runs.back().end() + 2 == line.data() && runs.back().end()[0] == '\r' &&
            runs.back().end()[1] == '\n')
            runs.back() = QByteArrayView(runs.back().data(), line.end());
        else
            runs.push_back(line);
    }
    if (!sameVersion || runs.empty())
        return false;
    // The last line, END:VCARD, on its own: a UID may go before it.
    QByteArrayView& lastRun = runs.back();
    const char* const lastBreak =
        static_cast<const char*>(memrchr(lastRun.data(), '\n', static_cast<size_t>(lastRun.size())));
    const QByteArrayView lastLine = lastBreak ? QByteArrayView(lastBreak + 1, lastRun.end()) : lastRun;
    if (lastBreak)
        lastRun = QByteArrayView(lastRun.data(), lastBreak - 1);
    else
        runs.pop_back();
    if (runs.empty())
        return false;
    for (const QByteArrayView run : runs) {
        out.raw(run);
        out.endLine();
    }
    if (!hasUid && !uid.isEmpty()) {
        out.ascii("UID:");
        out.utf8(uid, false);
        out.endLine();
    }
    out.raw(lastLine);
    out.endLine();
    return true;
}

Contact contactOf(const Utf8Values& values)
{
    Contact contact;
    for (const FieldInfo& field : contact::fields())
        contact[field.field] = textFromUtf8(valueOf(values, field.field));
    return contact;
}

// Import appends its lines at the end of the remarks, after an empty line
// when there was a note. The trailing block of lines that all convert goes
// back into properties, and only if a fresh import of the card gives the very
// same fields: a line could otherwise fill a free slot or the empty e-mail
// field and so move.
RemarkSplit splitRemark(const Utf8Values& values, VCardVersion version, const ContactMapper& mapper)
{
    const Contact fields = contactOf(values);
    const QStringList lines = fields[Field::Remark].split(u'\n');
    qsizetype first = lines.size();
    int probeCounter = 0;
    while (first > 0 && !RemarkConverter::propertiesFor(lines[first - 1], version, &probeCounter).isEmpty())
        --first;
    if (first == lines.size())
        return {};
    RemarkSplit split;
    split.converted = true;
    if (first > 0) {
        if (first < 2 || !lines[first - 1].isEmpty())
            return {};
        split.note = lines.mid(0, first - 1).join(u'\n');
        if (split.note.isEmpty())
            return {};
    }
    int groupCounter = 0;
    for (qsizetype i = first; i < lines.size(); ++i)
        split.properties.append(RemarkConverter::propertiesFor(lines[i], version, &groupCounter));

    FoldingWriter card;
    writeCard(card, values, version, mapper.dates(), split, QByteArrayView());
    const VCardReadResult again = VCardReader::read(card.takeBytes());
    try {
        if (!again.ok() || again.cards.size() != 1 || mapper.fromCard(again.cards.front()).contact != fields)
            return {};
    } catch (const AppError&) {
        // More lines than an import takes from one card.
        return {};
    }
    return split;
}

} // namespace

VCardWriter::VCardWriter(VCardVersion version, const ContactMapper& mapper) : mVersion(version), mMapper(mapper) {}

void VCardWriter::write(const Contact& contact, QByteArrayView uid)
{
    const ContactUtf8 utf8(contact);
    write(utf8.values, uid);
}

void VCardWriter::write(const Utf8Values& values, QByteArrayView uid)
{
    // A row read from the file lies in one piece: one check of all of it
    // costs less than one for each short value.
    bool together = true;
    for (size_t i = 1; i < values.size() && together; ++i)
        together = values[i].data() == values[i - 1].end();
    bool valid = true;
    if (together) {
        const QByteArrayView row(values.front().data(), values.back().end() - values.front().data());
        valid = vcardsyntax::isValidUtf8(row);
        if (valid)
            mOut.setCheckedUtf8(row);
    } else {
        valid = std::all_of(values.begin(), values.end(), vcardsyntax::isValidUtf8);
    }
    mTextReplaced += valid ? 0 : 1;
    const QByteArrayView remark = valueOf(values, Field::Remark);
    const QByteArrayView lastLine = remark.sliced(vcardsyntax::lastIndexOf(remark, '\n') + 1);
    // Lines split at carriage returns would not come back as they were.
    const RemarkSplit split = RemarkConverter::looksLikeExtraLine(lastLine) && !vcardsyntax::contains(remark, '\r')
                                  ? splitRemark(values, mVersion, mMapper)
                                  : RemarkSplit();
    mLineBreaksChanged += writeCard(mOut, values, mVersion, mMapper.dates(), split, uid) ? 1 : 0;
    mOut.setCheckedUtf8({});
}

void VCardWriter::writeKept(const Utf8Values& values, QByteArrayView uid, QByteArrayView kept, bool unchanged)
{
    if (kept.isEmpty()) {
        write(values, uid);
        return;
    }
    // Another program may have written text that is not UTF-8 into a field;
    // asked only of a card made anew, not of one copied as it came.
    const auto written = [&](const QByteArray& card) {
        mOut.raw(card);
        mTextReplaced += std::all_of(values.begin(), values.end(), vcardsyntax::isValidUtf8) ? 0 : 1;
    };
    // Unchanged since the card came: it goes out as it came.
    if (unchanged && copyAsItCame(mOut, kept, mVersion, uid))
        return;
    const VCardReadResult read = VCardReader::read(kept.toByteArray(), VCardReader::Binary::Keep);
    if (!read.ok() || read.cards.size() != 1) {
        write(values, uid);
        return;
    }
    const VCardCard& card = read.cards.front();
    const bool hasUid = std::any_of(card.properties.cbegin(), card.properties.cend(),
                                    [](const VCardProperty& property) { return property.name == u"UID"; });
    const auto render = [&](const QList<VCardProperty>& properties) {
        FoldingWriter out;
        out.ascii("BEGIN:VCARD");
        out.endLine();
        if (mVersion == VCardVersion::V40)
            out.ascii("VERSION:4.0");
        else
            out.ascii("VERSION:3.0");
        out.endLine();
        for (const VCardProperty& property : properties) {
            // What a writer says of itself and of the moment it wrote.
            if (property.name != u"PRODID" && property.name != u"REV")
                writeProperty(out, property, mVersion, card.version);
        }
        if (!hasUid && !uid.isEmpty()) {
            out.ascii("UID:");
            out.utf8(uid, false);
            out.endLine();
        }
        out.ascii("END:VCARD");
        out.endLine();
        return out.takeBytes();
    };
    // Whatever goes out must import as these very fields.
    const Contact current = contactOf(values);
    const auto importsAsCurrent = [&](const QByteArray& text) {
        const VCardReadResult again = VCardReader::read(text);
        try {
            return again.ok() && again.cards.size() == 1 && mMapper.fromCard(again.cards.front()).contact == current;
        } catch (const AppError&) {
            // More lines than an import takes from one card.
            return false;
        }
    };
    // Unchanged, in another version: the card converted.
    if (unchanged) {
        const QByteArray text = render(card.properties);
        if (importsAsCurrent(text)) {
            written(text);
            return;
        }
    }
    // Changed since: the fields go in. A remark whose lines would not come
    // back then goes whole into NOTE, and a card that would not at all is
    // written from the fields alone.
    for (const KeptCardMerge::Lines lines : {KeptCardMerge::Lines::Follow, KeptCardMerge::Lines::AsNote}) {
        const QByteArray text = render(KeptCardMerge::merge(card, current, mMapper, mVersion, lines));
        if (importsAsCurrent(text)) {
            written(text);
            return;
        }
    }
    write(values, uid);
}

QByteArray VCardWriter::takeBytes()
{
    return mOut.takeBytes();
}
