#include "exchange/remarkconverter.h"

#include <array>
#include <vector>

#include <QStringList>

#include "exchange/birthdayparser.h"
#include "exchange/extrasformatter.h"
#include "exchange/phoneclassifier.h"
#include "model/contact.h"

namespace {

const char16_t* const kKinds[] = {u"Organization", u"Title",    u"Role",        u"Nickname",
                                  u"Category",     u"Birthday", u"Anniversary", u"Address",
                                  u"Phone",        u"E-mail",   u"Website",     u"Instant messaging"};

struct ParsedLine {
    bool valid = false;
    QString kind;
    QString qualifier;
    QString value;
};

ParsedLine parseLine(const QString& line)
{
    ParsedLine parsed;
    const qsizetype colon = line.indexOf(QStringLiteral(": "));
    if (colon <= 0)
        return parsed;
    const QString head = line.left(colon);
    parsed.value = line.mid(colon + 2);
    const qsizetype open = head.indexOf(QStringLiteral(" ("));
    if (open >= 0) {
        if (!head.endsWith(u')'))
            return parsed;
        parsed.kind = head.left(open);
        parsed.qualifier = head.mid(open + 2, head.size() - open - 3);
        if (parsed.qualifier.isEmpty())
            return parsed;
    } else {
        parsed.kind = head;
    }
    parsed.valid = !parsed.value.isEmpty();
    return parsed;
}

bool isKnownKind(const QString& kind)
{
    for (const char16_t* known : kKinds) {
        if (kind == QStringView(known))
            return true;
    }
    return false;
}

VCardProperty makeProperty(const QString& name, const QString& value)
{
    VCardProperty property;
    property.name = name;
    property.value = VCardProperty::escape(value);
    return property;
}

void addParameter(VCardProperty* property, const QString& name, const QStringList& values)
{
    for (const QString& value : values)
        property->parameters.append(VCardParameter{name, value});
}

// The qualifier can go back into TYPE only when each word is a type the import would
// print unchanged; otherwise it travels as an Apple-style group label.
// The words of a list, as a test of a word.
auto anyOf(QStringList words)
{
    return [words = std::move(words)](const QString& word) { return words.contains(word); };
}

template <typename IsType> bool typesFromQualifier(const QString& qualifier, IsType isType, QStringList* types)
{
    types->clear();
    for (const QString& word : qualifier.split(QStringLiteral(", "))) {
        if (!isType(word))
            return false;
        types->append(word);
    }
    return true;
}

template <typename IsType>
void attachQualifier(QList<VCardProperty>* properties, const QString& qualifier, IsType isType, int* groupCounter)
{
    VCardProperty& main = properties->first();
    if (qualifier.isEmpty())
        return;
    QStringList types;
    if (typesFromQualifier(qualifier, isType, &types)) {
        addParameter(&main, QStringLiteral("TYPE"), types);
        return;
    }
    ++*groupCounter;
    main.group = QStringLiteral("item%1").arg(*groupCounter);
    VCardProperty label = makeProperty(QStringLiteral("X-ABLABEL"), qualifier);
    label.group = main.group;
    properties->append(label);
}

QList<VCardProperty> phoneProperties(const ParsedLine& parsed, int* groupCounter)
{
    QList<VCardProperty> properties{makeProperty(QStringLiteral("TEL"), parsed.value)};
    // A kind the program has slots for goes back with the TYPE its slots are
    // written with.
    const contact::FieldInfo* slot = nullptr;
    for (const contact::FieldInfo& field : contact::fields()) {
        if (!slot && field.phoneKind && parsed.qualifier == QLatin1String(field.phoneKind))
            slot = &field;
    }
    if (slot)
        addParameter(&properties.first(), QStringLiteral("TYPE"),
                     QString::fromLatin1(slot->vcardPhoneType).split(QLatin1Char(',')));
    else
        attachQualifier(&properties, parsed.qualifier, PhoneClassifier::isTypeWord, groupCounter);
    if (parsed.value.startsWith(u"tel:", Qt::CaseInsensitive))
        addParameter(&properties.first(), QStringLiteral("VALUE"), {QStringLiteral("text")});
    return properties;
}

QList<VCardProperty> birthdayProperties(const ParsedLine& parsed, VCardVersion version)
{
    if (!parsed.qualifier.isEmpty())
        return {};
    const BirthdayParser::Result birthday = BirthdayParser::parse(parsed.value, false, QString());
    if (birthday.kind == BirthdayParser::Kind::NoYear && birthday.display == parsed.value) {
        const QString digits = parsed.value.mid(2).remove(u'-');
        const QString value = version == VCardVersion::V40 ? QStringLiteral("--") + digits : parsed.value;
        return {makeProperty(QStringLiteral("BDAY"), value)};
    }
    if (birthday.kind == BirthdayParser::Kind::FullDate)
        return {makeProperty(QStringLiteral("BDAY"), parsed.value)};
    if (version == VCardVersion::V30)
        return {};
    VCardProperty property = makeProperty(QStringLiteral("BDAY"), parsed.value);
    addParameter(&property, QStringLiteral("VALUE"), {QStringLiteral("text")});
    return {property};
}

QList<VCardProperty> convert(const ParsedLine& parsed, VCardVersion version, int* groupCounter)
{
    const QString& kind = parsed.kind;
    const QString& q = parsed.qualifier;
    const auto noTypes = [](const QString&) { return false; };
    QList<VCardProperty> properties;
    if (kind == u"Phone")
        return phoneProperties(parsed, groupCounter);
    if (kind == u"Birthday")
        return birthdayProperties(parsed, version);
    if (kind == u"Organization") {
        properties.append(makeProperty(QStringLiteral("ORG"), parsed.value));
        attachQualifier(&properties, q, noTypes, groupCounter);
    } else if (kind == u"Title" || kind == u"Role") {
        properties.append(makeProperty(kind.toUpper(), parsed.value));
        attachQualifier(&properties, q, noTypes, groupCounter);
    } else if (kind == u"Nickname" || kind == u"Category") {
        properties.append(makeProperty(kind == u"Nickname" ? QStringLiteral("NICKNAME") : QStringLiteral("CATEGORIES"),
                                       parsed.value));
        attachQualifier(&properties, q, noTypes, groupCounter);
    } else if (kind == u"Anniversary") {
        if (!q.isEmpty())
            return {};
        VCardProperty property =
            makeProperty(version == VCardVersion::V40 ? QStringLiteral("ANNIVERSARY") : QStringLiteral("X-ANNIVERSARY"),
                         parsed.value);
        if (version == VCardVersion::V40)
            addParameter(&property, QStringLiteral("VALUE"), {QStringLiteral("text")});
        properties.append(property);
    } else if (kind == u"Address") {
        properties.append(makeProperty(QStringLiteral("ADR"), QString()));
        properties.first().value = QStringLiteral(";;") + VCardProperty::escape(parsed.value) + QStringLiteral(";;;;");
        attachQualifier(&properties, q,
                        anyOf({QStringLiteral("work"), QStringLiteral("home"), QStringLiteral("postal"),
                               QStringLiteral("parcel"), QStringLiteral("dom"), QStringLiteral("intl")}),
                        groupCounter);
    } else if (kind == u"E-mail") {
        properties.append(makeProperty(QStringLiteral("EMAIL"), parsed.value));
        attachQualifier(&properties, q, anyOf({QStringLiteral("work"), QStringLiteral("home"), QStringLiteral("other")}),
                        groupCounter);
    } else if (kind == u"Website") {
        properties.append(makeProperty(QStringLiteral("URL"), parsed.value));
        attachQualifier(&properties, q, anyOf({QStringLiteral("work"), QStringLiteral("home")}), groupCounter);
    } else if (kind == u"Instant messaging") {
        const QString service = ExtrasFormatter::propertyForService(q);
        if (!service.isEmpty()) {
            properties.append(makeProperty(service, parsed.value));
        } else {
            properties.append(makeProperty(QStringLiteral("IMPP"), parsed.value));
            attachQualifier(&properties, q, anyOf({QStringLiteral("work"), QStringLiteral("home")}), groupCounter);
        }
    }
    return properties;
}

} // namespace

bool RemarkConverter::looksLikeExtraLine(QByteArrayView utf8Line)
{
    // Runs for every exported remark, so it only compares prefixes. The
    // labels are ASCII, so the bytes compare as the characters do.
    static const std::vector<QByteArray> kinds = [] {
        std::vector<QByteArray> made;
        for (const char16_t* known : kKinds)
            made.push_back(QStringView(known).toLatin1());
        return made;
    }();
    // Most remarks begin with a letter no label begins with.
    static const std::array<bool, 256> firstLetters = [] {
        std::array<bool, 256> made{};
        for (const QByteArray& kind : kinds)
            made[static_cast<unsigned char>(kind.front())] = true;
        return made;
    }();
    if (utf8Line.isEmpty() || !firstLetters[static_cast<unsigned char>(utf8Line.front())])
        return false;
    for (const QByteArray& kind : kinds) {
        if (utf8Line.size() > kind.size() + 2 && utf8Line.startsWith(kind)) {
            const QByteArrayView rest = utf8Line.sliced(kind.size());
            if (rest.startsWith(": ") || rest.startsWith(" ("))
                return true;
        }
    }
    return false;
}

QList<VCardProperty> RemarkConverter::propertiesFor(const QString& line, VCardVersion version, int* groupCounter)
{
    const ParsedLine parsed = parseLine(line);
    if (!parsed.valid || !isKnownKind(parsed.kind))
        return {};
    int counter = *groupCounter;
    QList<VCardProperty> properties = convert(parsed, version, &counter);
    if (properties.isEmpty())
        return {};
    const QString groupLabel = properties.size() > 1 ? properties[1].text() : QString();
    if (ExtrasFormatter::linesFor(properties.first(), groupLabel) != QStringList{line})
        return {};
    *groupCounter = counter;
    return properties;
}
