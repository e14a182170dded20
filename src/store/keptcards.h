#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUuid>

#include "model/contact.h"
#include "store/statement.h"

class Connection;

// The cards contacts came from, kept whole beside tblContact so that a card
// goes out again with everything it had, and every contact's lasting UID.
//
// tblContactCard has a row for a contact that came from a card: its UID, the
// card's text as it came (NULL when the card held nothing the contact's
// fields do not carry), and a fingerprint of the contact's fields as the card
// gave them, which tells an export whether the user has changed any since. tblRondexaInfo holds what belongs to the file as a
// whole, such as the namespace of the UIDs made here. Both tables are made
// when first needed and leave tblContact exactly as it is, so an older copy
// of the program and the stock sqlite3 tool go on working on the file.
// A row whose contact is gone, deleted by any means, counts for nothing and
// is cleaned away by the next import.
namespace keptcards {

inline constexpr char kCardTable[] = "tblContactCard";
inline constexpr char kInfoTable[] = "tblRondexaInfo";

struct KeptCard {
    qint64 id = 0;
    QByteArray uid;
    // Empty when the contact's fields carry all of its card.
    QByteArray card;
    quint64 fingerprint = 0;
};

using Fields = std::array<QByteArrayView, contact::kFieldCount>;

// The fingerprint of a contact's fields, as UTF-8 in field order.
quint64 fingerprintOf(const Fields& fields);
// The fingerprints of many contacts, each as fingerprintOf makes it, into
// fingerprints (as many as rows): several times faster on a large export.
void fingerprintsOf(std::span<const Fields> rows, std::span<quint64> fingerprints);

// Whether the file has the table of kept cards.
bool exists(Connection& connection);
// Makes both tables when they are missing; inside the caller's write
// transaction.
void prepare(Connection& connection);
// Deletes the rows whose contact is gone; inside a write transaction.
void removeOrphans(Connection& connection);

// The kept card of one contact, if it has one.
std::optional<KeptCard> read(Connection& connection, qint64 id);
// Every kept card whose contact is there, in key order.
void forEach(Connection& connection, const std::function<void(const KeptCard&)>& take);
// Deletes the kept card of a contact; nothing when the table is missing.
void remove(Connection& connection, qint64 id);

// The UID of a contact that has none of its own: made from the file's own
// namespace and the contact's key, so it stays the same for as long as the
// contact lives, with nothing stored per contact.
QString madeUid(const QUuid& fileNamespace, qint64 id);

// The same for many contacts in a row, without an allocation for each.
class UidMaker {
public:
    explicit UidMaker(const QUuid& fileNamespace);
    // Valid until the next call.
    QByteArrayView of(qint64 id);

private:
    static constexpr int kLength = 36;
    QUuid mNamespace;
    char mText[kLength];
    char mOther[kLength];
};
// The file's namespace for the UIDs it makes; made and stored (in a write
// transaction of its own) the first time it is asked for. A file that cannot
// be written gets one for this run only.
QUuid uidNamespace(Connection& connection);

// Keeps cards for newly added contacts, one prepared statement for a whole
// file; inside the caller's write transaction, after prepare().
class Writer {
public:
    explicit Writer(Connection& connection);
    // An empty card keeps only the UID.
    void keep(qint64 id, QByteArrayView uid, QByteArrayView card, quint64 fingerprint);

private:
    Statement mInsert;
};

} // namespace keptcards
