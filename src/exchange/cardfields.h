#pragma once

#include <array>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QStringList>

#include "exchange/carddecoder.h"
#include "exchange/fieldrules.h"
#include "exchange/utf8rows.h"
#include "exchange/vcardcard.h"
#include "exchange/vcardreader.h"
#include "model/contact.h"

// A card onto the thirteen fields: any card through ContactMapper, the plain
// ones straight from the file's bytes through PlainCardMapper.

// What the summary counts about one card.
struct CardMarks {
    // Something is kept as lines at the end of the remarks.
    bool keptInRemarks = false;
    // A photo or other embedded binary data was left out.
    bool photoLeftOut = false;
    // An embedded card (2.1's AGENT) was left out.
    bool agentLeftOut = false;
    // Some text has replacement characters where it could not be read.
    bool textReplaced = false;
    // NUL characters were taken out: stored text ends at the first one for
    // many programs, the stock sqlite3 tool among them.
    bool nulRemoved = false;
};

// Which of the card's properties (by their place in it) each field and each
// remark line came from: what an export of the kept card changes when the
// user changed the field or the line.
struct CardSources {
    // -1 for a field no property filled; the remark's are below.
    std::array<int, contact::kFieldCount> field;
    // The N that the name shows, -1 when there is none or it went to the
    // remarks.
    int structuredName = -1;
    // The NOTEs the remark begins with, in card order.
    QList<int> notes;
    // The property of each "Label: value" line at the remark's end.
    QList<int> lines;

    CardSources() { field.fill(-1); }
};

// A card as the program's contact, and what the summary counts of it.
struct ImportedContact {
    Contact contact;
    CardMarks marks;
    CardSources sources;
    // The remark as the card's notes make it, before the lines of what has no
    // field are added: where the note ends in the remark.
    QString note;
};

// Maps a card onto the program's thirteen fields. Whatever has no field of its
// own is kept as readable lines at the end of the remarks, which export turns
// back into properties.
class ContactMapper {
public:
    // Dates of birth are stored in the form the locale's separator gives.
    explicit ContactMapper(const QLocale& locale = QLocale());

    // Throws AppError for a card that would add more lines to the remarks
    // than any real card does.
    ImportedContact fromCard(const VCardCard& card) const;
    const StoredDateForm& dates() const { return mDates; }

    // The parameter of the program's own that names the field a value
    // belongs to, where the property alone would put it elsewhere: a number
    // in a second slot, a date of birth that is no date. Other programs
    // ignore it.
    static constexpr char kFieldHint[] = "X-FIELD";
    // The NOTE parameter that names a remark's line breaks where they are
    // not all line feeds: one kind for all ("crlf") or one per break
    // ("crlf-cr-lf").
    static constexpr char kLineBreaks[] = "X-LINE-BREAKS";
    // What one card may add to the remarks. A line costs some dozens of bytes
    // however short its value is written ("a," in CATEGORIES): beyond this, a
    // file of a few megabytes could take gigabytes. Real cards add a few dozen.
    static constexpr qsizetype kMostRemarkLines = 10000;

private:
    StoredDateForm mDates;
};

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
    // file is the whole text the cards are read from: when all of it is
    // UTF-8, so is every value cut from it, and none is checked again.
    PlainCardMapper(const StoredDateForm& dates, QByteArrayView file);

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
    const bool mFileIsUtf8;
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
