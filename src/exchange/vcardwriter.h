#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "exchange/foldingwriter.h"
#include "exchange/utf8values.h"
#include "exchange/vcardversion.h"
#include "model/contact.h"

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
    // fingerprint that of the contact's fields when it was kept. A contact
    // unchanged since goes out as its card came; a changed one as the card
    // with the fields put in (KeptCardMerge). The UID goes in when the card
    // has none.
    void writeKept(const Utf8Values& values, QByteArrayView uid, QByteArrayView kept, quint64 fingerprint);
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
