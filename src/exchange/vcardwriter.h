#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "exchange/foldingwriter.h"
#include "exchange/utf8values.h"
#include "exchange/vcardversion.h"
#include "model/contact.h"

class ContactMapper;
class QIODevice;

// Writes contacts as vCards: UTF-8, CRLF, folded at 75 octets, the fields in
// the table's order. Remark lines an import added go back into the properties
// they came from, but only when importing the card again gives every field
// back unchanged.
class VCardWriter {
public:
    // Without a device the text is kept for takeBytes().
    VCardWriter(VCardVersion version, const ContactMapper& mapper, QIODevice* device = nullptr);

    void write(const Contact& contact);
    void write(const Utf8Values& values);
    // Hands the rest to the device; false when the device refused a write.
    bool finish();
    // Room for this many more bytes of cards, without a device.
    void reserve(qsizetype bytes) { mOut.reserve(bytes); }
    // Bytes kept so far, without a device.
    qsizetype size() const { return mOut.size(); }
    QByteArray takeBytes();

private:
    VCardVersion mVersion;
    const ContactMapper& mMapper;
    FoldingWriter mOut;
};
