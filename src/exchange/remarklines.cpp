#include "exchange/remarklines.h"

#include <array>
#include <vector>

#include <QHash>
#include <QSet>
#include <QStringList>

#include "exchange/fieldrules.h"
#include "model/contact.h"

namespace {

struct ServiceName {
    const char16_t* property;
    const char16_t* service;
};

// The first property listed for a service is the one export writes back.
const ServiceName kServices[] = {
    {u"X-AIM", u"AIM"},
    {u"X-ICQ", u"ICQ"},
    {u"X-JABBER", u"Jabber"},
    {u"X-MSN", u"MSN"},
    {u"X-YAHOO", u"Yahoo"},
    {u"X-SKYPE", u"Skype"},
    {u"X-SKYPE-USERNAME", u"Skype"},
    {u"X-GTALK", u"Google Talk"},
    {u"X-GOOGLE-TALK", u"Google Talk"},
    {u"X-QQ", u"QQ"},
    {u"X-GADUGADU", u"Gadu-Gadu"},
    {u"X-GROUPWISE", u"GroupWise"},
    {u"X-TWITTER", u"Twitter"},
};

const QHash<QString, QString>& simpleLabels()
{
    static const QHash<QString, QString> labels = {
        {QStringLiteral("TITLE"), QStringLiteral("Title")},
        {QStringLiteral("ROLE"), QStringLiteral("Role")},
        {QStringLiteral("ANNIVERSARY"), QStringLiteral("Anniversary")},
        {QStringLiteral("X-ANNIVERSARY"), QStringLiteral("Anniversary")},
        {QStringLiteral("X-EVOLUTION-ANNIVERSARY"), QStringLiteral("Anniversary")},
        {QStringLiteral("X-MS-ANNIVERSARY"), QStringLiteral("Anniversary")},
        {QStringLiteral("X-EVOLUTION-SPOUSE"), QStringLiteral("Spouse")},
        {QStringLiteral("X-MS-SPOUSE"), QStringLiteral("Spouse")},
        {QStringLiteral("X-SPOUSE"), QStringLiteral("Spouse")},
        {QStringLiteral("X-EVOLUTION-MANAGER"), QStringLiteral("Manager")},
        {QStringLiteral("X-MS-MANAGER"), QStringLiteral("Manager")},
        {QStringLiteral("X-MANAGER"), QStringLiteral("Manager")},
        {QStringLiteral("X-EVOLUTION-ASSISTANT"), QStringLiteral("Assistant")},
        {QStringLiteral("X-MS-ASSISTANT"), QStringLiteral("Assistant")},
        {QStringLiteral("X-ASSISTANT"), QStringLiteral("Assistant")},
        {QStringLiteral("X-PHONETIC-FIRST-NAME"), QStringLiteral("Phonetic first name")},
        {QStringLiteral("X-PHONETIC-MIDDLE-NAME"), QStringLiteral("Phonetic middle name")},
        {QStringLiteral("X-PHONETIC-LAST-NAME"), QStringLiteral("Phonetic last name")},
        {QStringLiteral("X-PHONETIC-ORG"), QStringLiteral("Phonetic organization")},
        {QStringLiteral("GEO"), QStringLiteral("Location")},
        {QStringLiteral("TZ"), QStringLiteral("Time zone")},
        {QStringLiteral("GENDER"), QStringLiteral("Gender")},
        {QStringLiteral("LANG"), QStringLiteral("Language")},
        {QStringLiteral("FBURL"), QStringLiteral("Free/busy URL")},
        {QStringLiteral("CALURI"), QStringLiteral("Calendar URL")},
        {QStringLiteral("CALADRURI"), QStringLiteral("Calendar request address")},
        {QStringLiteral("SOURCE"), QStringLiteral("Source")},
        {QStringLiteral("KEY"), QStringLiteral("Key")},
        {QStringLiteral("PHOTO"), QStringLiteral("Photo")},
        {QStringLiteral("LOGO"), QStringLiteral("Logo")},
        {QStringLiteral("SOUND"), QStringLiteral("Sound")},
        {QStringLiteral("AGENT"), QStringLiteral("Agent")},
        {QStringLiteral("MEMBER"), QStringLiteral("Member")},
        {QStringLiteral("EXPERTISE"), QStringLiteral("Expertise")},
        {QStringLiteral("HOBBY"), QStringLiteral("Hobby")},
        {QStringLiteral("INTEREST"), QStringLiteral("Interest")},
        {QStringLiteral("BIRTHPLACE"), QStringLiteral("Place of birth")},
        {QStringLiteral("DEATHPLACE"), QStringLiteral("Place of death")},
        {QStringLiteral("DEATHDATE"), QStringLiteral("Date of death")},
        {QStringLiteral("ORG-DIRECTORY"), QStringLiteral("Organization directory")},
        {QStringLiteral("FN"), QStringLiteral("Other name")},
        {QStringLiteral("X-EVOLUTION-FILE-AS"), QStringLiteral("File as")},
        {QStringLiteral("NOTE"), QStringLiteral("Note")},
    };
    return labels;
}

QString humanized(const QString& name)
{
    QString text = name.startsWith(u"X-") ? name.mid(2) : name;
    text = text.toLower();
    text.replace(u'-', u' ');
    text.replace(u'_', u' ');
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString typesWithout(const VCardProperty& property, std::initializer_list<const char16_t*> ignored)
{
    // Real cards name a few types, which a list holds faster than a set is
    // made; a card written to be slow names thousands.
    const QStringList types = property.types();
    const bool few = types.size() <= 8;
    QStringList kept;
    QSet<QString> seen;
    for (const QString& type : types) {
        bool skip = false;
        for (const char16_t* word : ignored) {
            if (type == QStringView(word)) {
                skip = true;
                break;
            }
        }
        if (skip || (few ? kept.contains(type) : seen.contains(type)))
            continue;
        if (!few)
            seen.insert(type);
        kept.append(type);
    }
    return kept.join(QStringLiteral(", "));
}

void addLine(QStringList* lines, const QString& label, const QString& qualifier, const QString& value)
{
    const QString flat = ExtrasFormatter::flatten(value);
    if (!flat.isEmpty())
        lines->append(ExtrasFormatter::line(label, qualifier, flat));
}

// The components that say something, flattened, between commas. Runs for
// every address and organization of a large import, so it makes one string.
QString joinedComponents(const VCardProperty& property)
{
    QString joined;
    for (const QStringView part : VCardProperty::splitEscaped(property.value, u';')) {
        const QString flat = ExtrasFormatter::flatten(VCardProperty::unescape(part));
        if (flat.isEmpty())
            continue;
        if (!joined.isEmpty())
            joined += QStringLiteral(", ");
        joined += flat;
    }
    return joined;
}

void androidCustomLines(const VCardProperty& property, QStringList* lines)
{
    // Android puts its own data kinds into one property: mimetype;data1;data2;...
    const QStringList parts = property.components();
    if (parts.size() < 2)
        return;
    const QString kind = parts[0].section(u'/', -1);
    const QString data = parts[1];
    const QString type = parts.size() > 2 ? parts[2] : QString();
    if (kind == u"nickname") {
        addLine(lines, QStringLiteral("Nickname"), QString(), data);
    } else if (kind == u"contact_event") {
        const QString label = type == u"1"   ? QStringLiteral("Anniversary")
                              : type == u"3" ? QStringLiteral("Birthday")
                                             : QStringLiteral("Date");
        const QString custom = type == u"0" && parts.size() > 3 ? parts[3] : QString();
        addLine(lines, label, custom, data);
    } else if (kind == u"relation") {
        addLine(lines, QStringLiteral("Related"), QString(), data);
    } else {
        addLine(lines, QStringLiteral("Android data"), kind, data);
    }
}

// Properties that hold nothing a user wrote.
bool carriesNoUserData(const QString& name)
{
    static const QStringList names = {
        QStringLiteral("VERSION"),
        QStringLiteral("PRODID"),
        QStringLiteral("REV"),
        QStringLiteral("UID"),
        QStringLiteral("CLASS"),
        QStringLiteral("PROFILE"),
        QStringLiteral("NAME"),
        QStringLiteral("SORT-STRING"),
        QStringLiteral("CLIENTPIDMAP"),
        QStringLiteral("XML"),
        QStringLiteral("MAILER"),
        QStringLiteral("X-ABUID"),
        QStringLiteral("X-ABADR"),
        QStringLiteral("X-ABLABEL"),
        QStringLiteral("X-ABSHOWAS"),
        QStringLiteral("X-MOZILLA-HTML"),
        QStringLiteral("X-MOZILLA-CPT"),
        QStringLiteral("X-MS-OL-DEFAULT-POSTAL-ADDRESS"),
        QStringLiteral("X-MS-OL-DESIGN"),
        QStringLiteral("X-COUCHDB-APPLICATION-ANNOTATIONS"),
        QStringLiteral("X-EVOLUTION-LIST-SHOW-ADDRESSES"),
        QStringLiteral("X-EVOLUTION-BOOK-URI"),
        QStringLiteral("X-EVOLUTION-WANTS-HTML"),
        QStringLiteral("X-WAB-GENDER"),
    };
    return names.contains(name);
}

QString instantMessagingService(const QString& name)
{
    for (const ServiceName& entry : kServices) {
        if (name == QStringView(entry.property))
            return QString::fromUtf16(entry.service);
    }
    return QString();
}

} // namespace

QString ExtrasFormatter::line(const QString& label, const QString& qualifier, const QString& value)
{
    // Made in one piece: an import of many cards makes many lines.
    QString made;
    made.reserve(label.size() + qualifier.size() + value.size() + 5);
    made += label;
    if (!qualifier.isEmpty()) {
        made += QStringLiteral(" (");
        made += qualifier;
        made += u')';
    }
    made += QStringLiteral(": ");
    made += value;
    return made;
}

QString ExtrasFormatter::flatten(const QString& text)
{
    if (!text.contains(u'\n') && !text.contains(u'\r'))
        return text.trimmed();
    // In one pass: a text of a million line breaks made a million parts.
    QString flat;
    const qsizetype size = text.size();
    for (qsizetype start = 0; start <= size;) {
        qsizetype end = start;
        while (end < size && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QStringView line = QStringView(text).mid(start, end - start).trimmed();
        if (!line.isEmpty()) {
            if (!flat.isEmpty())
                flat += QStringLiteral(", ");
            flat += line;
        }
        start = end + 1;
    }
    return flat;
}

QString ExtrasFormatter::naturalName(const VCardProperty& nameProperty)
{
    const QStringList parts = nameProperty.components();
    const auto part = [&parts](int index) { return index < parts.size() ? flatten(parts[index]) : QString(); };
    QStringList ordered;
    // N stores family;given;additional;prefix;suffix; people read prefix given additional family suffix.
    for (const QString& piece : {part(3), part(1), part(2), part(0), part(4)}) {
        if (!piece.isEmpty())
            ordered.append(piece);
    }
    return ordered.join(u' ');
}

bool ExtrasFormatter::isAppleMagicLabel(const QString& label)
{
    return label.startsWith(u"_$!<") && label.endsWith(u">!$_");
}

QString ExtrasFormatter::readableLabel(const QString& label)
{
    if (!isAppleMagicLabel(label))
        return flatten(label);
    const QString inner = label.mid(4, label.size() - 8);
    if (inner.compare(u"iPhone", Qt::CaseInsensitive) == 0)
        return QStringLiteral("iphone");
    QString words;
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (i > 0 && inner[i].isUpper() && inner[i - 1].isLower())
            words += u' ';
        words += inner[i];
    }
    return words.toLower();
}

QString ExtrasFormatter::propertyForService(const QString& service)
{
    for (const ServiceName& entry : kServices) {
        if (service == QStringView(entry.service))
            return QString::fromUtf16(entry.property);
    }
    return QString();
}

QStringList ExtrasFormatter::linesFor(const VCardProperty& property, const QString& groupLabel)
{
    QStringList lines;
    if (property.binary)
        return lines;
    const QString& name = property.name;
    const QString label = groupLabel.isEmpty() ? QString() : readableLabel(groupLabel);
    if (name.isEmpty()) {
        addLine(&lines, QStringLiteral("Unreadable line"), QString(), property.text());
        return lines;
    }
    if (carriesNoUserData(name))
        return lines;
    if (name == u"TEL" || name == u"X-MS-TEL") {
        addLine(&lines, QStringLiteral("Phone"), PhoneClassifier::classify(property, groupLabel).word,
                PhoneClassifier::number(property));
    } else if (name == u"EMAIL") {
        const QString qualifier = label.isEmpty() ? typesWithout(property, {u"internet", u"pref", u"x400"}) : label;
        addLine(&lines, QStringLiteral("E-mail"), qualifier, property.text());
    } else if (name == u"URL") {
        const QString qualifier = label.isEmpty() ? typesWithout(property, {u"pref"}) : label;
        addLine(&lines, QStringLiteral("Website"), qualifier, property.text());
    } else if (name == u"ADR") {
        const QString qualifier = label.isEmpty() ? typesWithout(property, {u"pref"}) : label;
        addLine(&lines, QStringLiteral("Address"), qualifier, joinedComponents(property));
    } else if (name == u"LABEL") {
        addLine(&lines, QStringLiteral("Address label"), typesWithout(property, {u"pref"}), property.text());
    } else if (name == u"ORG") {
        addLine(&lines, QStringLiteral("Organization"), label, joinedComponents(property));
    } else if (name == u"NICKNAME" || name == u"CATEGORIES") {
        const QString kindLabel = name == u"NICKNAME" ? QStringLiteral("Nickname") : QStringLiteral("Category");
        for (const QString& value : property.listValues())
            addLine(&lines, kindLabel, label, value);
    } else if (name == u"BDAY") {
        const bool textValue = property.parameter(u"VALUE").compare(u"text", Qt::CaseInsensitive) == 0;
        const BirthdayParser::Result birthday =
            BirthdayParser::parse(property.text(), textValue, property.parameter(u"X-APPLE-OMIT-YEAR"));
        const QString display =
            birthday.kind == BirthdayParser::Kind::FullDate ? birthday.date.toString(Qt::ISODate) : birthday.display;
        addLine(&lines, QStringLiteral("Birthday"), label, display);
    } else if (name == u"X-BIRTHDAY-TEXT") {
        addLine(&lines, QStringLiteral("Birthday"), label, property.text());
    } else if (name == u"X-ABDATE") {
        const bool anniversary = label == u"anniversary";
        addLine(&lines, anniversary ? QStringLiteral("Anniversary") : QStringLiteral("Date"),
                anniversary ? QString() : label, property.text());
    } else if (name == u"IMPP" || name == u"X-MS-IMADDRESS") {
        const QString qualifier = label.isEmpty() ? typesWithout(property, {u"pref"}) : label;
        addLine(&lines, QStringLiteral("Instant messaging"), qualifier, property.text());
    } else if (!instantMessagingService(name).isEmpty()) {
        addLine(&lines, QStringLiteral("Instant messaging"), instantMessagingService(name), property.text());
    } else if (name == u"X-ABRELATEDNAMES") {
        addLine(&lines, QStringLiteral("Related"), label, property.text());
    } else if (name == u"RELATED") {
        addLine(&lines, QStringLiteral("Related"), label.isEmpty() ? typesWithout(property, {u"pref"}) : label,
                property.text());
    } else if (name == u"X-SOCIALPROFILE") {
        addLine(&lines, QStringLiteral("Social profile"), label.isEmpty() ? typesWithout(property, {u"pref"}) : label,
                property.text());
    } else if (name == u"X-ANDROID-CUSTOM") {
        androidCustomLines(property, &lines);
    } else if (name == u"KIND") {
        if (property.text().trimmed().compare(u"individual", Qt::CaseInsensitive) != 0)
            addLine(&lines, QStringLiteral("Kind"), QString(), property.text());
    } else if (name == u"N") {
        addLine(&lines, QStringLiteral("Structured name"), QString(), naturalName(property));
    } else {
        const auto found = simpleLabels().constFind(name);
        const QString kindLabel = found != simpleLabels().constEnd() ? found.value() : humanized(name);
        addLine(&lines, kindLabel, label, property.text());
    }
    return lines;
}

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
        attachQualifier(&properties, q,
                        anyOf({QStringLiteral("work"), QStringLiteral("home"), QStringLiteral("other")}), groupCounter);
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
