#pragma once

#include <functional>

#include <QString>
#include <QStringList>

class Connection;

// What importing one file did.
struct VCardImportResult {
    // The file as it was given.
    QString file;
    // Cards the file holds.
    int cards = 0;
    int added = 0;
    // Cards not added: their name is already in the table (letter case
    // aside, as the editor compares), or they repeat a contact of the same
    // file in every field; or they have no name at all.
    int alreadyThere = 0;
    int withoutName = 0;
    // The first few different names of the cards skipped as already there,
    // in file order: what the summary names; and how many of the skipped
    // cards have one of them.
    QStringList skippedNames;
    int skippedNamed = 0;
    static constexpr qsizetype kSkippedNamesKept = 3;
    // Added contacts that have something kept as lines in their remarks.
    int keptInRemarks = 0;
    // Added contacts whose embedded card (2.1's AGENT) was left out.
    int agentsNotKept = 0;
    // Added contacts with text that could not be read as written (an unknown
    // character set, bytes not valid in theirs): replacement characters
    // stand where it was.
    int textReplaced = 0;
    // Added contacts that had NUL characters in their text, taken out.
    int nulRemoved = 0;
    // The file's contacts were committed (also with nothing new to add).
    bool imported = false;
    // The user cancelled; nothing of the file stays.
    bool cancelled = false;
    // Why nothing of the file was imported: "line 12: card not ended", a
    // file that cannot be read, SQLite's text for a failed write.
    QString error;
};

// Called now and then with the cards done so far and the file's total;
// returning false cancels the file.
using ImportProgress = std::function<bool(int done, int total)>;

// Imports one vCard file (2.1, 3.0, 4.0) into tblContact in one
// transaction: all of the file's new contacts or, on any failure or a
// cancel, none. Never throws for a bad file; the result says what happened.
VCardImportResult importVCardFile(Connection& connection, const QString& path, const ImportProgress& progress = {});

// One line for the summary, e.g. "friends.vcf: 12 added, 3 skipped as
// already there, 2 kept partly in the remarks" or
// "friends.vcf: nothing imported: line 12: card not ended".
QString summaryLine(const VCardImportResult& result);
