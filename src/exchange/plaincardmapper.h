#pragma once

#include <vector>

#include <QByteArray>
#include <QStringList>

#include "exchange/carddecoder.h"
#include "exchange/rawcard.h"
#include "exchange/storeddateform.h"
#include "exchange/utf8values.h"

// Maps cards of the plain shape this program writes (FN, N, BDAY, TEL, EMAIL,
// URL and NOTE) straight from the file's bytes, and beside them the
// properties phones and servers add that have no field (ADR, ORG, TITLE, ...),
// when they carry no group, encoding or character set: those become the
// remark's lines as ContactMapper writes them. Importing a whole export, of
// the program or of a phone, is the case that must be fast; every other card
// goes through the decoder and ContactMapper, which give the same fields for
// a card this takes, only slower.
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
        // Lines for what has no field were added to the remarks.
        bool keptInRemarks = false;
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
    qsizetype addExtraLines(QByteArrayView note, QByteArrayView& remark);

    const StoredDateForm& mDates;
    std::vector<PhoneSlot> mPhones;
    std::vector<SingleValue> mSingles;
    // Values that had escapes, and the date; reserved for the whole card
    // first, so that views into it stay put.
    QByteArray mScratch;
    // The properties that have no field, and the remark with their lines.
    std::vector<const RawProperty*> mExtras;
    QStringList mLines;
    QByteArray mRemark;
    CardDecoder mDecoder;
};
