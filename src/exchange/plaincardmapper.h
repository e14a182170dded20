#pragma once

#include <vector>

#include <QByteArray>

#include "exchange/rawcard.h"
#include "exchange/storeddateform.h"
#include "exchange/utf8values.h"

// Maps cards of the plain shape this program writes (FN, N, BDAY, TEL, EMAIL,
// URL and NOTE, nothing else, nothing that would end in the remarks) straight
// from the file's bytes. Importing a whole export of the program is the case
// that must be fast; every other card goes through the decoder and
// ContactMapper, which give the same fields for a plain card, only slower.
class PlainCardMapper {
public:
    explicit PlainCardMapper(const StoredDateForm& dates);

    // What a plain card holds beside its fields.
    struct Rest {
        // Its UID, escaped as written; null when it has none.
        QByteArrayView uid;
        // Nothing but what export writes from these fields for the card's
        // version (its own PRODID and REV aside): the fields carry all of it,
        // and the card need not be kept.
        bool exact = false;
    };

    // The card's fields, valid until the next call and while the card is; false
    // when the card is not plain and ContactMapper has to map it.
    bool map(const RawCard& card, Utf8Values& values, Rest& rest);

private:
    struct Parameters;
    // The field table's vCard columns, looked up once.
    struct PhoneSlot {
        contact::Field field;
        QByteArrayView kind;
        QByteArrayView type;
        QByteArrayView hint;
    };
    struct SingleValue {
        QByteArrayView property;
        contact::Field field;
    };

    static bool readParameters(QByteArrayView header, Parameters& parameters);
    QByteArrayView unescaped(QByteArrayView value);
    bool mapBirthday(const RawProperty& property, const Parameters& parameters, Utf8Values& values, bool v4,
                     bool& exact);
    bool mapPhone(const RawProperty& property, const Parameters& parameters, Utf8Values& values, bool& exact);
    const contact::Field* singleValueField(QByteArrayView name) const;

    const StoredDateForm& mDates;
    std::vector<PhoneSlot> mPhones;
    std::vector<SingleValue> mSingles;
    // Values that had escapes, and the date; reserved for the whole card
    // first, so that views into it stay put.
    QByteArray mScratch;
};
