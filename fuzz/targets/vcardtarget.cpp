// The vCard reader is the one parser of files from outside. Any bytes are read
// without harm; where the fast mapping of plain cards takes a card it gives
// what the full mapping gives; and every card that imports comes back from an
// export, 4.0 and 3.0, with the same fields, but for what the export line
// says it changed.
#include "fuzztargets.h"

#include <optional>

#include "base/apperror.h"
#include "exchange/carddecoder.h"
#include "exchange/cardfields.h"
#include "exchange/utf8rows.h"
#include "exchange/vcardreader.h"
#include "exchange/vcardwriter.h"
#include "fuzzinput.h"

namespace fuzz {

namespace {

using contact::Field;
using contact::FieldInfo;

bool anyMark(const CardMarks& marks)
{
    return marks.keptInRemarks || marks.photoLeftOut || marks.agentLeftOut || marks.textReplaced || marks.nulRemoved;
}

// Maps cards as the import does, both ways wherever the plain way takes one.
class BothMappings {
public:
    // file is the text the cards are read from, as the import gives it.
    BothMappings(const ContactMapper& mapper, QByteArrayView file) : mMapper(mapper), mPlain(mapper.dates(), file) {}

    // Nothing for a card the import refuses for its size.
    std::optional<ImportedContact> map(const RawCard& card, const std::string& where)
    {
        std::optional<ImportedContact> full;
        try {
            full = mMapper.fromCard(mDecoder.decode(card));
        } catch (const AppError&) {
        }
        Utf8Values values;
        PlainCardMapper::Rest rest;
        if (!mPlain.map(card, values, rest))
            return full;
        require(full.has_value(), "the plain mapping takes a card the full one refuses", where);
        for (const FieldInfo& field : contact::fields()) {
            const QByteArray expected = full->contact[field.field].toUtf8();
            require(valueOf(values, field.field) == expected, "the plain and the full mapping differ",
                    where + ", " + field.column + ": plain " + shown(valueOf(values, field.field).toByteArray()) +
                        ", full " + shown(expected));
        }
        require(full->marks.keptInRemarks == rest.keptInRemarks,
                "the plain and the full mapping differ on what is kept in the remarks", where);
        CardMarks others = full->marks;
        others.keptInRemarks = false;
        require(!anyMark(others), "the full mapping counts something of a card the plain one takes", where);
        return full;
    }

private:
    const ContactMapper& mMapper;
    PlainCardMapper mPlain;
    CardDecoder mDecoder;
};

std::string shownContact(const Contact& contact)
{
    std::string out;
    for (const QString& value : contact)
        out += shown(value) + ' ';
    return out;
}

// An export writes a carriage return outside the remarks as a plain line
// break, and says so.
Contact withPlainLineBreaks(const Contact& contact, bool* changed)
{
    Contact plain = contact;
    for (const FieldInfo& field : contact::fields()) {
        QString& value = plain[field.field];
        if (field.field == Field::Remark || !value.contains(u'\r'))
            continue;
        value.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        *changed = true;
    }
    return plain;
}

void requireRoundTrip(const Contact& imported, VCardVersion version, const ContactMapper& mapper,
                      const std::string& from)
{
    // Written as Export All writes a row of the data file.
    Utf8Rows rows;
    rows.add(ContactUtf8(imported).values);
    VCardWriter writer(version, mapper);
    writer.write(rows.values(0));
    const QByteArray text = writer.takeBytes();
    const std::string where = std::string(version == VCardVersion::V40 ? "4.0" : "3.0") + " export " + shown(text) +
                              " of " + shownContact(imported) + " from " + from;
    bool changed = false;
    const Contact expected = withPlainLineBreaks(imported, &changed);
    require(writer.lineBreaksChanged() == (changed ? 1 : 0), "the export line miscounts changed line breaks", where);
    require(writer.textReplaced() == 0, "the export line counts replaced text in an imported contact", where);

    BothMappings again(mapper, text);
    int cards = 0;
    const VCardReadResult read = VCardReader::read(text, [&](const RawCard& card) {
        ++cards;
        const std::optional<ImportedContact> back = again.map(card, "the " + where);
        require(back.has_value(), "an export is refused on import", where);
        for (const FieldInfo& field : contact::fields())
            require(back->contact[field.field] == expected[field.field], "an exported field comes back otherwise",
                    where + ", " + field.column + " back as " + shown(back->contact[field.field]));
        return true;
    });
    require(read.ok(), "an export cannot be read", where + ": " + read.error.toStdString());
    require(cards == 1, "an export of one contact does not read as one card", where);
}

} // namespace

void vcard(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The first bytes choose the regional format dates of birth are stored in.
    const DefaultLocale regional(pickLocale(size > 0 ? data[0] : 0, size > 1 ? data[1] : 0));
    const ContactMapper mapper;
    BothMappings mappings(mapper, bytes);
    VCardReader::read(QByteArrayView(bytes), [&](const RawCard& card) {
        const std::string where = "card at line " + std::to_string(card.line) + " of " + shown(bytes);
        const std::optional<ImportedContact> imported = mappings.map(card, where);
        // Only a card with a name is imported.
        if (!imported || imported->contact[Field::Name].trimmed().isEmpty())
            return true;
        require(!imported->contact[Field::Name].contains(QChar(0)), "a NUL is imported", where);
        for (const VCardVersion version : {VCardVersion::V40, VCardVersion::V30})
            requireRoundTrip(imported->contact, version, mapper, where);
        return true;
    });
}

} // namespace fuzz
