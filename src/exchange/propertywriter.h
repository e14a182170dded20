#pragma once

#include <QStringView>

#include "exchange/foldingwriter.h"
#include "exchange/vcardproperty.h"
#include "exchange/vcardversion.h"

// Writes a property as it was read, group, parameters and value, in the
// version being written. Only what the vCard versions define differently is
// converted: a 2.1 value's quoted-printable and character set are gone once
// decoded and its bare commas are escaped; TYPE=pref and PREF=1 stand for each
// other; embedded binary data is base64 with ENCODING=b in 3.0 and a data: URI
// in 4.0. Everything else goes out as it came.
void writeProperty(FoldingWriter& out, const VCardProperty& property, VCardVersion version,
                   QStringView fromVersion = u"4.0");
