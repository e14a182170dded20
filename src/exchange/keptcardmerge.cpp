#include "exchange/keptcardmerge.h"

#include <optional>

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include "exchange/cardfields.h"
#include "exchange/fieldrules.h"
#include "exchange/remarklines.h"
#include "model/storeddate.h"
#include "model/storedtext.h"

namespace {

bool needsQuoting(const QString& value)
{
    for (const QChar c : value) {
        if (c == u',' || c == u';' || c == u':')
            return true;
    }
    return false;
}

// The formats 2.1 and 3.0 name in TYPE for embedded data, and the media
// types a data: URI names them with.
struct MediaFormat {
    const char16_t* type;
    const char16_t* media;
};
const MediaFormat kFormats[] = {
    {u"JPEG", u"image/jpeg"}, {u"JPG", u"image/jpeg"}, {u"PNG", u"image/png"},   {u"GIF", u"image/gif"},
    {u"BMP", u"image/bmp"},   {u"TIFF", u"image/tiff"}, {u"WEBP", u"image/webp"}, {u"PGP", u"application/pgp-keys"},
    {u"X509", u"application/x-x509-ca-cert"},
};

const MediaFormat* formatOfType(QStringView type)
{
    for (const MediaFormat& format : kFormats) {
        if (type.compare(QStringView(format.type), Qt::CaseInsensitive) == 0)
            return &format;
    }
    return nullptr;
}

const MediaFormat* formatOfMedia(QStringView media)
{
    for (const MediaFormat& format : kFormats) {
        if (media.compare(QStringView(format.media), Qt::CaseInsensitive) == 0)
            return &format;
    }
    return nullptr;
}

QString withoutWhiteSpace(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace())
            result += c;
    }
    return result;
}

// A 2.1 value as 3.0 and 4.0 write it: there a bare comma separates values
// and a backslash starts an escape, and line breaks are written \n. A
// backslash before a semicolon was 2.1's own escape and stays one.
QString escaped21(const QString& value)
{
    QString result;
    result.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' && i + 1 < value.size() && value[i + 1] == u';') {
            result += u"\\;";
            ++i;
        } else if (c == u'\\') {
            result += u"\\\\";
        } else if (c == u',') {
            result += u"\\,";
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n')
                ++i;
            result += u"\\n";
        } else {
            result += c;
        }
    }
    return result;
}

// A date or date and time of 3.0 or 2.1 as 4.0 writes it: 4.0 knows only
// ISO 8601's basic form for a whole date (19850314, 19850314T103000Z),
// where the older versions also write the extended one (1985-03-14,
// 1985-03-14T10:30:00Z). Anything else stays as it is.
QString basicDate(const QString& value)
{
    static const QRegularExpression extended(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})(?:T(\\d{2}):(\\d{2})(?::(\\d{2}))?(Z|[+-]\\d{2}(?::?\\d{2})?)?)?$"));
    const QRegularExpressionMatch match = extended.match(value);
    if (!match.hasMatch())
        return value;
    QString basic = match.captured(1) + match.captured(2) + match.captured(3);
    if (match.capturedLength(4) > 0)
        basic += u'T' + match.captured(4) + match.captured(5) + match.captured(6) + match.captured(7).remove(u':');
    return basic;
}

bool holdsDate(const VCardProperty& property)
{
    return (property.name == u"BDAY" || property.name == u"ANNIVERSARY" || property.name == u"DEATHDATE") &&
           property.parameter(u"VALUE").compare(u"text", Qt::CaseInsensitive) != 0;
}

} // namespace

void writeProperty(FoldingWriter& out, const VCardProperty& property, VCardVersion version, QStringView fromVersion)
{
    const bool v4 = version == VCardVersion::V40;
    QList<VCardParameter> parameters;
    bool preferred = false;
    for (const VCardParameter& parameter : property.parameters) {
        // The value is decoded text now, and UTF-8.
        if (parameter.name == u"CHARSET" || parameter.name == u"ENCODING")
            continue;
        if (parameter.name == u"TYPE" && parameter.value.compare(u"pref", Qt::CaseInsensitive) == 0 && v4) {
            preferred = true;
            continue;
        }
        if (parameter.name == u"PREF" && !v4) {
            preferred = true;
            continue;
        }
        parameters.append(parameter);
    }
    if (preferred)
        parameters.append(v4 ? VCardParameter{QStringLiteral("PREF"), QStringLiteral("1")}
                             : VCardParameter{QStringLiteral("TYPE"), QStringLiteral("pref")});

    QString value = property.value;
    if (property.binary && !value.isEmpty()) {
        const bool dataUri = value.startsWith(u"data:", Qt::CaseInsensitive);
        if (v4 && !dataUri) {
            QString media = QStringLiteral("application/octet-stream");
            for (qsizetype i = 0; i < parameters.size(); ++i) {
                const MediaFormat* format = parameters[i].name == u"TYPE" ? formatOfType(parameters[i].value) : nullptr;
                if (format) {
                    media = QString::fromUtf16(format->media);
                    parameters.removeAt(i);
                    break;
                }
            }
            value = QStringLiteral("data:") + media + QStringLiteral(";base64,") + withoutWhiteSpace(value);
        } else if (!v4 && dataUri) {
            const qsizetype comma = value.indexOf(u',');
            const QStringView header = QStringView(value).mid(5, comma < 0 ? 0 : comma - 5);
            const QStringView media = header.left(header.indexOf(u';') < 0 ? header.size() : header.indexOf(u';'));
            if (const MediaFormat* format = formatOfMedia(media))
                parameters.append(VCardParameter{QStringLiteral("TYPE"), QString::fromUtf16(format->type)});
            parameters.append(VCardParameter{QStringLiteral("ENCODING"), QStringLiteral("b")});
            value = value.mid(comma + 1);
        } else if (!v4) {
            parameters.append(VCardParameter{QStringLiteral("ENCODING"), QStringLiteral("b")});
            value = withoutWhiteSpace(value);
        }
    } else if (v4 && fromVersion != u"4.0" && holdsDate(property)) {
        value = basicDate(value);
    } else if (fromVersion == u"2.1") {
        value = escaped21(value);
    } else if (value.contains(u'\n') || value.contains(u'\r')) {
        // Quoted-printable, which some 3.0 writers use too, carries real
        // line breaks; a content line cannot.
        value.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
        value.replace(u'\r', QStringLiteral("\\n"));
        value.replace(u'\n', QStringLiteral("\\n"));
    }

    if (!property.group.isEmpty()) {
        out.text(property.group, false);
        out.ascii(".");
    }
    out.text(property.name, false);
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        const VCardParameter& parameter = parameters[i];
        // Values of one parameter in a row go out as one list.
        if (i > 0 && parameters[i - 1].name == parameter.name) {
            out.ascii(",");
        } else {
            out.ascii(";");
            out.text(parameter.name, false);
            out.ascii("=");
        }
        if (needsQuoting(parameter.value)) {
            out.ascii("\"");
            out.text(parameter.value, false);
            out.ascii("\"");
        } else {
            out.text(parameter.value, false);
        }
    }
    out.ascii(":");
    out.text(value, false);
    out.endLine();
}

namespace {

using contact::Field;
using contact::FieldInfo;

VCardProperty newProperty(const QString& name, const QString& escapedValue)
{
    VCardProperty made;
    made.name = name;
    made.value = escapedValue;
    return made;
}

void removeParameters(VCardProperty& property, std::initializer_list<QStringView> names)
{
    property.parameters.removeIf([&](const VCardParameter& parameter) {
        for (const QStringView name : names) {
            if (parameter.name.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    });
}

bool hasParameter(const VCardProperty& property, QStringView name, QStringView value)
{
    for (const VCardParameter& parameter : property.parameters) {
        if (parameter.name.compare(name, Qt::CaseInsensitive) == 0 &&
            parameter.value.compare(value, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// A date of birth as export writes it, in the place of the property it came
// from (its group and other parameters kept), or new.
VCardProperty birthdayProperty(const QString& birth, const VCardProperty* old, VCardVersion version,
                               const ContactMapper& mapper)
{
    const bool v4 = version == VCardVersion::V40;
    VCardProperty made = old ? *old : VCardProperty();
    removeParameters(made, {u"VALUE", u"X-FIELD"});
    const QDate date = mapper.dates().dateOf(birth.toUtf8());
    if (date.isValid()) {
        made.name = QStringLiteral("BDAY");
        made.value = date.toString(v4 ? QStringLiteral("yyyyMMdd") : QStringLiteral("yyyy-MM-dd"));
    } else if (v4) {
        // Any other text comes back verbatim through a form of the
        // program's own, as the plain export writes it.
        made.name = QStringLiteral("BDAY");
        made.parameters.append({QStringLiteral("VALUE"), QStringLiteral("text")});
        made.parameters.append({QString::fromLatin1(ContactMapper::kFieldHint), QStringLiteral("birthday")});
        made.value = VCardProperty::escape(birth);
    } else {
        made.name = QStringLiteral("X-BIRTHDAY-TEXT");
        made.value = VCardProperty::escape(birth);
    }
    return made;
}

VCardProperty phoneProperty(const FieldInfo& slot, const QString& number, const VCardProperty* old)
{
    VCardProperty made = old ? *old : newProperty(QStringLiteral("TEL"), QString());
    if (!old) {
        for (const QString& type : QString::fromLatin1(slot.vcardPhoneType).split(u','))
            made.parameters.append({QStringLiteral("TYPE"), type});
    }
    const bool uri = old && old->value.startsWith(u"tel:", Qt::CaseInsensitive) &&
                     !hasParameter(*old, u"VALUE", u"text") && !number.startsWith(u"tel:", Qt::CaseInsensitive);
    made.value = (uri ? QStringLiteral("tel:") : QString()) + VCardProperty::escape(number);
    if (!uri && number.startsWith(u"tel:", Qt::CaseInsensitive) && !hasParameter(made, u"VALUE", u"text")) {
        removeParameters(made, {u"VALUE"});
        made.parameters.append({QStringLiteral("VALUE"), QStringLiteral("text")});
    }
    return made;
}

// A field's property with the field's value, in place of the one it came from.
VCardProperty fieldProperty(const FieldInfo& field, const QString& value, const VCardProperty* old,
                            VCardVersion version, const ContactMapper& mapper)
{
    if (field.field == Field::DateOfBirth)
        return birthdayProperty(value, old, version, mapper);
    if (field.phoneKind)
        return phoneProperty(field, value, old);
    VCardProperty made = old ? *old : newProperty(QString::fromLatin1(field.vcardProperty), QString());
    if (!old && field.field == Field::Email && version == VCardVersion::V30)
        made.parameters.append({QStringLiteral("TYPE"), QStringLiteral("internet")});
    made.value = VCardProperty::escape(value);
    return made;
}

VCardProperty personStructuredName(const QString& name, const VCardProperty* old)
{
    VCardProperty made = old ? *old : newProperty(QStringLiteral("N"), QString());
    made.value = QString::fromUtf8(PersonName::of(name.toUtf8()).structuredValue());
    return made;
}

// The property of a remark line the user edited in place, with the line's
// new value: its group, parameters and the shape of its value kept. An
// address or an organization shows its filled components joined by ", ";
// nothing when the new value has another number of them.
std::optional<VCardProperty> withEditedValue(const VCardProperty& property, const QString& value)
{
    VCardProperty edited = property;
    if (property.name != u"ADR" && property.name != u"ORG") {
        edited.value = VCardProperty::escape(value);
        return edited;
    }
    const QStringList values = value.split(QStringLiteral(", "));
    QStringList components;
    qsizetype next = 0;
    for (const QStringView part : VCardProperty::splitEscaped(property.value, u';')) {
        if (isBlank(VCardProperty::unescape(part))) {
            components.append(part.toString());
            continue;
        }
        if (next == values.size())
            return std::nullopt;
        components.append(VCardProperty::escape(values[next++]));
    }
    if (next != values.size())
        return std::nullopt;
    edited.value = components.join(u';');
    return edited;
}

// The number of the highest "itemN" group, so that groups made for new lines
// go after it.
int highestItemGroup(const VCardCard& card)
{
    int highest = 0;
    for (const VCardProperty& property : card.properties) {
        if (property.group.startsWith(u"item", Qt::CaseInsensitive))
            highest = std::max(highest, QStringView(property.group).mid(4).toInt());
    }
    return highest;
}

bool isLabelOfGroup(const VCardProperty& property)
{
    return !property.group.isEmpty() && property.name.startsWith(u"X-AB");
}

} // namespace

bool KeptCardMerge::isCompany(const VCardCard& card)
{
    bool organization = false;
    bool personName = false;
    for (const VCardProperty& property : card.properties) {
        if (property.name == u"KIND" && property.text().trimmed().compare(u"org", Qt::CaseInsensitive) == 0)
            return true;
        if (property.name == u"X-ABSHOWAS" && property.text().trimmed().compare(u"COMPANY", Qt::CaseInsensitive) == 0)
            return true;
        organization = organization || property.name == u"ORG";
        if (property.name == u"N") {
            for (const QString& component : property.components())
                personName = personName || !isBlank(component);
        }
    }
    return organization && !personName;
}

QList<VCardProperty> KeptCardMerge::merge(const VCardCard& kept, const Contact& current, const ContactMapper& mapper,
                                          VCardVersion version, Lines lines)
{
    const ImportedContact base = mapper.fromCard(kept);
    const CardSources& sources = base.sources;
    const auto changed = [&](Field field) { return current[field] != base.contact[field]; };
    const bool company = isCompany(kept);

    // What the remark keeps of the card's lines, and its note.
    const QString& baseRemark = base.contact[Field::Remark];
    const QString& remark = current[Field::Remark];
    const qsizetype lineCount = sources.lines.size();
    const QStringList baseLines = lineCount > 0 ? baseRemark.split(u'\n').mid(baseRemark.count(u'\n') + 1 - lineCount)
                                                : QStringList();
    QSet<int> keptLineProperties;
    QHash<int, VCardProperty> editedLines;
    QStringList newLines;
    QString note = base.note;
    if (remark == baseRemark) {
        for (const int source : sources.lines)
            keptLineProperties.insert(source);
    } else if (lines == Lines::AsNote) {
        note = remark;
    } else {
        const QSet<QString> known(baseLines.begin(), baseLines.end());
        const QStringList remarkLines = remark.split(u'\n');
        qsizetype first = remarkLines.size();
        int probe = 0;
        while (first > 0 && (known.contains(remarkLines[first - 1]) ||
                             !RemarkConverter::propertiesFor(remarkLines[first - 1], version, &probe).isEmpty()))
            --first;
        // The import puts an empty line between the note and its lines.
        if (first > 0 && (first < 2 || !remarkLines[first - 1].isEmpty()))
            first = remarkLines.size();
        note = first > 0 ? remarkLines.mid(0, first == remarkLines.size() ? first : first - 1).join(u'\n')
                         : QString();
        QHash<QString, int> present;
        for (qsizetype i = first; i < remarkLines.size(); ++i)
            ++present[remarkLines[i]];
        // A property stays as it came while every line it gave is there.
        QHash<int, bool> whole;
        for (qsizetype i = 0; i < lineCount; ++i) {
            const int source = sources.lines[i];
            whole.insert(source, whole.value(source, true) && present.value(baseLines[i]) > 0);
        }
        for (auto it = whole.cbegin(); it != whole.cend(); ++it) {
            if (!it.value())
                continue;
            keptLineProperties.insert(it.key());
            for (qsizetype i = 0; i < lineCount; ++i) {
                if (sources.lines[i] == it.key())
                    --present[baseLines[i]];
            }
        }
        // A line edited in place (its label as it was, its value changed)
        // changes its property's value only.
        for (auto it = whole.cbegin(); it != whole.cend(); ++it) {
            if (it.value() || sources.lines.count(it.key()) != 1)
                continue;
            const QString& was = baseLines[sources.lines.indexOf(it.key())];
            const qsizetype colon = was.indexOf(QStringLiteral(": "));
            if (colon < 0)
                continue;
            const QStringView label = QStringView(was).left(colon + 2);
            for (qsizetype i = first; i < remarkLines.size(); ++i) {
                const QString& line = remarkLines[i];
                if (!line.startsWith(label) || present.value(line) <= 0 || known.contains(line))
                    continue;
                if (std::optional<VCardProperty> edited =
                        withEditedValue(kept.properties[it.key()], line.mid(label.size()))) {
                    editedLines.insert(it.key(), *edited);
                    --present[line];
                }
                break;
            }
        }
        for (qsizetype i = first; i < remarkLines.size(); ++i) {
            int& left = present[remarkLines[i]];
            if (left > 0) {
                newLines.append(remarkLines[i]);
                --left;
            }
        }
    }
    const bool noteChanged = note != base.note;

    QList<VCardProperty> merged;
    QHash<int, Field> fieldOf;
    for (const FieldInfo& field : contact::fields()) {
        const int source = sources.field[static_cast<size_t>(contact::indexOf(field.field))];
        if (source >= 0 && field.field != Field::Remark)
            fieldOf.insert(source, field.field);
    }
    const bool nameChanged = changed(Field::Name);
    bool wroteName = false;
    bool wroteStructuredName = false;
    bool wroteNote = false;
    QSet<QString> groupsLeft;
    QSet<QString> groupsDropped;
    for (qsizetype i = 0; i < kept.properties.size(); ++i) {
        const VCardProperty& property = kept.properties[i];
        const auto index = static_cast<int>(i);
        const auto drop = [&] {
            if (!property.group.isEmpty())
                groupsDropped.insert(property.group.toLower());
        };
        if (property.name == u"PRODID" || property.name == u"REV" || property.name.isEmpty())
            continue;
        if (isLabelOfGroup(property)) {
            merged.append(property);
            continue;
        }
        if (fieldOf.contains(index)) {
            const Field field = fieldOf.value(index);
            if (field == Field::Name && property.name == u"N") {
                // The name came from N alone: FN says it from now on.
                if (nameChanged) {
                    merged.append(newProperty(QStringLiteral("FN"), VCardProperty::escape(current[Field::Name])));
                    merged.append(company ? property : personStructuredName(current[Field::Name], &property));
                } else {
                    merged.append(property);
                }
                wroteName = wroteStructuredName = true;
            } else if (!changed(field)) {
                merged.append(property);
                wroteName = wroteName || field == Field::Name;
            } else if (current[field].isEmpty()) {
                drop();
            } else {
                merged.append(fieldProperty(contact::info(field), current[field], &property, version, mapper));
                wroteName = wroteName || field == Field::Name;
            }
            continue;
        }
        if (index == sources.structuredName) {
            merged.append(nameChanged && !company ? personStructuredName(current[Field::Name], &property) : property);
            wroteStructuredName = true;
            continue;
        }
        if (sources.notes.contains(index)) {
            if (!noteChanged) {
                merged.append(property);
            } else if (!wroteNote && !note.isEmpty()) {
                VCardProperty replaced = property;
                removeParameters(replaced, {QString::fromLatin1(ContactMapper::kLineBreaks)});
                replaced.value = VCardProperty::escape(note);
                merged.append(replaced);
            } else {
                drop();
            }
            wroteNote = true;
            continue;
        }
        if (sources.lines.contains(index)) {
            if (keptLineProperties.contains(index))
                merged.append(property);
            else if (editedLines.contains(index))
                merged.append(editedLines.value(index));
            else
                drop();
            continue;
        }
        if (property.name == u"N")
            wroteStructuredName = true;
        merged.append(property);
    }

    // What the card had no property for.
    const QString& name = current[Field::Name];
    if (!wroteName && !name.isEmpty())
        merged.prepend(newProperty(QStringLiteral("FN"), VCardProperty::escape(name)));
    // 3.0 wants an N on every card; a company's is empty.
    if (!wroteStructuredName && (version == VCardVersion::V30 || (!company && !name.isEmpty())))
        merged.append(company ? newProperty(QStringLiteral("N"), QStringLiteral(";;;;"))
                              : personStructuredName(name, nullptr));
    for (const FieldInfo& field : contact::fields()) {
        const int source = sources.field[static_cast<size_t>(contact::indexOf(field.field))];
        if (source < 0 && field.field != Field::Name && field.field != Field::Remark &&
            !current[field.field].isEmpty())
            merged.append(fieldProperty(field, current[field.field], nullptr, version, mapper));
    }
    int groupCounter = highestItemGroup(kept);
    for (const QString& line : newLines)
        merged.append(RemarkConverter::propertiesFor(line, version, &groupCounter));
    if (!wroteNote && !note.isEmpty())
        merged.append(newProperty(QStringLiteral("NOTE"), VCardProperty::escape(note)));

    // A group's label goes with the last property of its group.
    for (const VCardProperty& property : merged) {
        if (!property.group.isEmpty() && !isLabelOfGroup(property))
            groupsLeft.insert(property.group.toLower());
    }
    merged.removeIf([&](const VCardProperty& property) {
        const QString group = property.group.toLower();
        return isLabelOfGroup(property) && groupsDropped.contains(group) && !groupsLeft.contains(group);
    });
    return merged;
}
