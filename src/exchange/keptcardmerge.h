#pragma once

#include <QList>
#include <QStringView>

#include "exchange/vcardcard.h"
#include "exchange/vcardwriter.h"
#include "model/contact.h"

// Writes a property as it was read, group, parameters and value, in the
// version being written. Only what the vCard versions define differently is
// converted: a 2.1 value's quoted-printable and character set are gone once
// decoded and its bare commas are escaped; TYPE=pref and PREF=1 stand for each
// other; embedded binary data is base64 with ENCODING=b in 3.0 and a data: URI
// in 4.0. Everything else goes out as it came.
void writeProperty(FoldingWriter& out, const VCardProperty& property, VCardVersion version,
                   QStringView fromVersion = u"4.0");

class ContactMapper;

// A kept card with a contact's current fields put in: what an export writes
// for a contact that came from a card and has changed since.
//
// The properties the fields came from follow the fields: a field the user
// cleared takes its property away, one the user changed gives its property
// the new value and keeps its parameters. The name's N stays while the name
// does; a new name gets an N built from it, unless the card is a company's,
// whose N stays empty. Everything else goes out as it came. The remark's
// "Label: value" lines that the import wrote stand for the properties they
// came from: while a property's lines are all there the property goes out
// as it came, and a line edited, added or removed makes the export follow
// the remark: a line edited in place gives its property the new value, a
// line added makes a property, a line removed takes its property away. The
// note above them goes to NOTE.
class KeptCardMerge {
public:
    enum class Lines {
        // As above.
        Follow,
        // The whole remark as NOTE, without the properties of its lines: for
        // a remark whose lines would not come back as they stand.
        AsNote
    };

    // The merged properties, the card's own UID included (none is added).
    static QList<VCardProperty> merge(const VCardCard& kept, const Contact& current, const ContactMapper& mapper,
                                      VCardVersion version, Lines lines);

    // KIND:org, Apple's X-ABShowAs:COMPANY, or an ORG without a person's
    // name in N.
    static bool isCompany(const VCardCard& card);
};
