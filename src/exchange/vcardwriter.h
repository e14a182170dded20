#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include "exchange/utf8rows.h"
#include "exchange/vcardcard.h"
#include "model/contact.h"

// Builds content lines straight into UTF-8 bytes: escaping, encoding and
// folding at 75 octets happen in one pass over the text, without temporary
// strings, and never split a UTF-8 sequence or an escape pair.
class FoldingWriter {
public:
    FoldingWriter();

    void ascii(const char* text, qsizetype length);
    // Bytes that are a line (or part of one) as another writer folded it:
    // copied as they are, never folded again.
    void raw(QByteArrayView bytes);
    // A literal's length is known where it is written.
    template <size_t N> void ascii(const char (&text)[N]) { ascii(text, N - 1); }
    // escape: a text value's \ , ; and line breaks are escaped.
    void text(QStringView text, bool escape);
    // The same for UTF-8 as the store keeps it; text that is not valid UTF-8
    // is written as the program shows it (with replacement characters).
    void utf8(QByteArrayView value, bool escape);
    void endLine();
    // Makes room for this many more bytes at once, so that a long text is
    // not copied each time the buffer would have doubled.
    void reserve(qsizetype extra)
    {
        if (mSize + extra > mBuffer.size())
            grow(extra);
    }
    // Text known to be valid UTF-8, say a whole row checked at once: values
    // within it that begin and end on whole characters are not checked
    // again, nor searched for characters to escape when the text has none
    // before their end. An empty view forgets it.
    void setCheckedUtf8(QByteArrayView text);
    QByteArray takeBytes();

    // Bytes written since the last takeBytes().
    qsizetype size() const { return mSize; }
    // How many carriage returns (a CR LF pair or a lone CR) went out as the
    // one line break vCard knows, so far.
    qsizetype carriageReturns() const { return mCarriageReturns; }

private:
    // Where the first character a text value escapes is, or size.
    static qsizetype firstToEscape(const char* bytes, qsizetype size);
    void grow(qsizetype extra);
    bool isChecked(QByteArrayView value) const;

    QByteArray mBuffer;
    QByteArrayView mChecked;
    const char* mCheckedFirstToEscape = nullptr;
    qsizetype mSize = 0;
    int mColumn = 0;
    qsizetype mCarriageReturns = 0;
};

class ContactMapper;

// Writes contacts as vCards: UTF-8, CRLF, folded at 75 octets, the fields in
// the table's order. Remark lines an import added go back into the properties
// they came from, but only when importing the card again gives every field
// back unchanged.
class VCardWriter {
public:
    VCardWriter(VCardVersion version, const ContactMapper& mapper);

    // A contact written from its fields, with its UID unless that is empty.
    void write(const Contact& contact, QByteArrayView uid = {});
    void write(const Utf8Values& values, QByteArrayView uid = {});
    // A contact that came from a card: kept is the card's text, and
    // unchanged whether the fields are still those it was kept with (their
    // fingerprints agree). An unchanged contact goes out as its card came; a
    // changed one as the card with the fields put in (KeptCardMerge). The UID
    // goes in when the card has none.
    void writeKept(const Utf8Values& values, QByteArrayView uid, QByteArrayView kept, bool unchanged);
    // Room for this many more bytes of cards.
    void reserve(qsizetype bytes) { mOut.reserve(bytes); }
    // Bytes kept so far.
    qsizetype size() const { return mOut.size(); }
    QByteArray takeBytes();

    // Contacts written so far whose text went out otherwise than given,
    // because a vCard cannot carry it: a carriage return outside the
    // remarks (written as a plain line break), text that is not valid UTF-8
    // (written with replacement characters).
    int lineBreaksChanged() const { return mLineBreaksChanged; }
    int textReplaced() const { return mTextReplaced; }

private:
    VCardVersion mVersion;
    const ContactMapper& mMapper;
    FoldingWriter mOut;
    int mLineBreaksChanged = 0;
    int mTextReplaced = 0;
};
