#include "datafile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "store/contacttable.h"
#include "store/recordset.h"

DataFile::DataFile()
{
    env.installDataFile();
    connection.open(env.connectionString());
}

QString DataFile::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = env.root() + QLatin1Char('/') + name;
    writeFile(path, bytes);
    return path;
}

VCardImportResult DataFile::import(const QString& name, const QByteArray& bytes, const ImportProgress& progress)
{
    return importVCardFile(connection, write(name, bytes), progress);
}

void DataFile::store(const Contact& contact)
{
    connection.execute(contact::insertStatement(contact));
}

std::vector<Contact> DataFile::contacts()
{
    std::vector<Contact> rows;
    Recordset recordset;
    recordset.open(contact::allContactsQuery(), connection);
    while (!recordset.eof()) {
        Contact row;
        for (int i = 0; i < contact::kFieldCount; ++i)
            row[contact::fields()[static_cast<size_t>(i)].field] = recordset.field(i + 1);
        rows.push_back(row);
        recordset.moveNext();
    }
    return rows;
}

QByteArray sampleFile(const char* name)
{
    // The build passes absolute source paths, so the data lies beside this file.
    QFile file(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/data/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

QByteArray card(const char* version, std::initializer_list<const char*> lines)
{
    QByteArray bytes = QByteArray("BEGIN:VCARD\r\nVERSION:") + version + "\r\n";
    for (const char* line : lines)
        bytes += QByteArray(line) + "\r\n";
    return bytes + "END:VCARD\r\n";
}

Contact contactWith(std::initializer_list<std::pair<contact::Field, QString>> values)
{
    Contact result;
    for (const auto& [field, value] : values)
        result[field] = value;
    return result;
}

void expectSameFields(const Contact& actual, const Contact& expected, const std::string& context)
{
    for (const contact::FieldInfo& field : contact::fields())
        EXPECT_EQ(actual[field.field], expected[field.field]) << context << ", " << field.column;
}
