#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

#include "exchange/vcardversion.h"
#include "model/contact.h"

class Connection;

// Why an export may not write to path, empty when it may: path is source's
// data file, or a file SQLite keeps beside it, by whatever name. Both
// writers below refuse what this refuses.
QString exportRefusal(const Connection& source, const QString& path);

// The contacts as one vCard text, in the order given.
QByteArray vcardText(const std::vector<Contact>& contacts, VCardVersion version);

// Writes the contacts, read from source, to path as vCards. The file is
// replaced only once all of it is written, so a failure leaves any earlier
// file as it was. Throws AppError with the file system's text on failure,
// and without writing anything when path is source's data file or one of
// its companions.
void writeVCardFile(const Connection& source, const QString& path, const std::vector<Contact>& contacts,
                    VCardVersion version);

// Writes every contact of tblContact in the list's name order; returns how
// many. Throws AppError (SQLite's or the file system's text) on failure; the
// data file is refused as writeVCardFile refuses it.
int exportAllVCards(Connection& connection, const QString& path, VCardVersion version);

// "N contacts written to PATH", as the window and the command line say it.
QString writtenLine(int written, const QString& path);
