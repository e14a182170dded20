#pragma once

#include <vector>

#include <QByteArray>
#include <QString>
#include <QUuid>

#include "exchange/cardbatch.h"
#include "exchange/vcardcard.h"
#include "model/contact.h"

class Connection;

// Why an export may not write to path, empty when it may: path is source's
// data file, or a file SQLite keeps beside it, by whatever name. Both
// writers below refuse what this refuses.
QString exportRefusal(const Connection& source, const QString& path);

// How many contacts an export wrote, and how many of them went out otherwise
// than stored because a vCard cannot carry their text as it is.
struct VCardExportResult {
    int written = 0;
    // A carriage return outside the remarks, written as a plain line break.
    int lineBreaksChanged = 0;
    // Text that is not valid UTF-8, written with replacement characters.
    int textReplaced = 0;
};

// Contacts as the data file stores them, read for an export: the fields,
// keys and kept cards, and the file's namespace for the UIDs it makes.
struct ExportContacts {
    CardBatch batch;
    QUuid uidNamespace;
};

// The contacts of these keys, in the order given; a key no contact has
// any more is left out. May store the file's UID namespace.
ExportContacts readForExport(Connection& connection, const std::vector<qint64>& ids);

// The contacts as one vCard text, in the order given.
QByteArray vcardText(const std::vector<Contact>& contacts, VCardVersion version);
QByteArray vcardText(const ExportContacts& contacts, VCardVersion version);

// Writes the contacts, read from source, to path as vCards. The file is replaced
// only once all of it is written, so a failure leaves any earlier file as it
// was. Throws AppError with the file system's text on failure, and without
// writing anything when path is source's data file or one of its companions.
VCardExportResult writeVCardFile(const Connection& source, const QString& path, const ExportContacts& contacts,
                                 VCardVersion version);

// Writes every contact of tblContact in the list's name order. Throws
// AppError (SQLite's or the file system's text) on failure; the data file is
// refused as writeVCardFile refuses it.
VCardExportResult exportAllVCards(Connection& connection, const QString& path, VCardVersion version);

// "N contacts written to PATH", and what went out otherwise than stored, as
// the window and the command line say it.
QString writtenLine(const VCardExportResult& result, const QString& path);
