#pragma once

#include <QByteArray>
#include <QByteArrayView>

// N for a name, built as the common address books build it from a name typed
// in one piece: honorifics in front (Mr., Dr., ...) go to the prefix, those
// behind (Jr., PhD, ...) to the suffix, then the first word is the given
// name, the last the family name and the words between the additional names.
// "Family, Given" is read the other way round; a single word is a given name.
// The name is taken with its white space collapsed.
struct PersonName {
    QByteArray family;
    QByteArray given;
    QByteArray additional;
    QByteArray prefix;
    QByteArray suffix;

    static PersonName of(QByteArrayView utf8Name);
    // The five components as N's value, each escaped.
    QByteArray structuredValue() const;
};
