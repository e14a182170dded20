#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

// vdirsyncer keeping a folder of .vcf files in step with an address book: an
// independent client on the server's other side, as a phone would be.
class SecondClient {
public:
    // folder: an empty folder the test owns, for the cards, the status and
    // the configuration.
    SecondClient(const QString& folder, const QUrl& book, const QString& user, const QString& password);

    // One vdirsyncer sync (its discovery first, the first time); false with
    // error() saying why.
    bool sync();
    QString error() const { return mError; }

    // The cards' files by name, and their texts.
    QStringList files() const;
    QByteArray read(const QString& name) const;
    void write(const QString& name, const QByteArray& card) const;
    void remove(const QString& name) const;
    // The file that holds the card of that UID; empty when none does.
    QString fileOf(const QByteArray& uid) const;

private:
    bool run(const QStringList& arguments);

    QString mFolder;
    QString mCards;
    bool mDiscovered = false;
    QString mError;
};
