#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QString>

#include "exchange/vcardimport.h"
#include "model/contact.h"
#include "store/connection.h"
#include "support/tempenv.h"

// A fresh data file made from the built template, open as the program opens
// it, with room beside it for the .vcf files a test writes.
class DataFile {
public:
    DataFile();

    // Writes the bytes to a file of that name next to the data file.
    QString write(const QString& name, const QByteArray& bytes) const;
    VCardImportResult import(const QString& name, const QByteArray& bytes, const ImportProgress& progress = {});
    void store(const Contact& contact);
    // Every row in key order, without its key.
    std::vector<Contact> contacts();

    TempEnv env;
    Connection connection;
};

// A sample file of tests/exchange/data.
QByteArray sampleFile(const char* name);
// Property lines wrapped into one card of that version, CRLF ended.
QByteArray card(const char* version, std::initializer_list<const char*> lines);
// Only the fields named are filled.
Contact contactWith(std::initializer_list<std::pair<contact::Field, QString>> values);
// Compares field by field so that a failure names the column.
void expectSameFields(const Contact& actual, const Contact& expected, const std::string& context);
