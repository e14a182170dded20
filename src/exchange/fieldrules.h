#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringView>

#include "exchange/vcardcard.h"

// The rules a field's value follows in a card, which the way in and the way
// out both read: dates of birth, the N of a name, and the kinds of phone.

// The form a date of birth is stored in (formatStoredDate), made and
// recognised with the regional separator looked up once: import and export
// meet a date on nearly every contact, and the model's functions ask the
// locale for its format every time.
class StoredDateForm {
public:
    explicit StoredDateForm(const QLocale& locale = QLocale());

    // What formatStoredDate makes of the date.
    QString text(const QDate& date) const;
    // The same as UTF-8, added to out.
    void appendUtf8(int year, int month, int day, QByteArray& out) const;
    // The date whose stored form is exactly text; invalid for any other text,
    // also for one that readStoredDate reads but that would be stored
    // differently ("4/5/1978", another separator).
    QDate dateOf(QByteArrayView utf8) const;

private:
    QString mSeparator;
    QByteArray mUtf8Separator;
    // The separator as one byte, when it is one readStoredDate reads; 0
    // when no stored date can be read back.
    char mReadableSeparator = 0;
};

// Reads the many shapes of BDAY that programs write. Only a complete calendar
// date becomes a QDate; everything else is kept as text for the remarks.
class BirthdayParser {
public:
    enum class Kind { FullDate, NoYear, Text };

    struct Result {
        Kind kind = Kind::Text;
        QDate date;
        // What the remarks show: "--03-14" for a birthday without a year,
        // else the value.
        QString display;
    };

    static Result parse(const QString& value, bool isTextValue, const QString& omitYear);
};

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

// Decides where a TEL belongs. A number only goes to a slot whose label is
// true for it; kinds the program has no slot for (pager, car, ...) stay out.
// Its table of TYPE values is the one the import and the export both read.
class PhoneClassifier {
public:
    enum class Place {
        // word is the kind of slot, as the field table names it ("mobile").
        Slot,
        // Nothing said where it rings.
        Untyped,
        // word says what it is ("pager", "work, pager", a label of its own).
        NoSlot
    };
    struct Kind {
        Place place = Place::Untyped;
        QString word;
    };

    // groupLabel is the X-ABLabel that shares the property's group, or empty.
    static Kind classify(const VCardProperty& property, const QString& groupLabel);
    static QString number(const VCardProperty& property);
    // Whether a word of a remark line's "Phone (...)" goes back out as a TYPE
    // value; any other word goes out as a label of its own.
    static bool isTypeWord(QStringView word);
};
