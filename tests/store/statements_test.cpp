#include <gtest/gtest.h>

#include "base/apperror.h"
#include "output/sampledata.h"
#include "store/contacttable.h"
#include "support/contacts.h"

namespace {

const QString kInsertPrefix = QStringLiteral(
    "insert into tblContact (ContactName,DateOfBirth,Mobile1,Mobile2,Work1,Work2,Fax1,Fax2,Home1,Home2,Email,"
    "Website,Remark) values ('");

Contact allValues(const QString& value)
{
    Contact values;
    for (size_t c = 0; c < kFields; ++c)
        values[fieldAt(c)] = value;
    return values;
}

} // namespace

TEST(Statements, SampleInsertsAreExact)
{
    EXPECT_EQ(sampleInsertStatement(0),
              kInsertPrefix + "Martin Oakes','04/04/1978','18011358542','','18015813542','','','','18015425813','',"
                              "'martin.oakes@example.com','https://www.example.com/martin-oakes','VODE Manager')");
    EXPECT_EQ(sampleInsertStatement(1),
              kInsertPrefix + "Gareth Lowe','09/10/1987','1112357845710','','','','','','','','gareth.lowe@example.net'"
                              ",'','')");
    EXPECT_EQ(sampleInsertStatement(2), kInsertPrefix + "Stuart Penn','10/11/1957','','','','','','','','',"
                                                        "'stuart.penn@example.org','','ZadiZidu Ruda Zozo')");
}

TEST(Statements, QueriesAndUpdateAreExact)
{
    EXPECT_EQ(contact::listQuery(), "select * from tblContact order by contactname");
    EXPECT_EQ(contact::reportQuery(), "select * from tblContact");
    EXPECT_EQ(contact::searchQuery("12"),
              "select * from tblContact where contactname like '12%' or DateOfBirth like '%12%' or Mobile1 like "
              "'12%' or Mobile2 like '12%' or Work1 like '12%' or Work2 like '12%' or Fax1 like '12%' or Fax2 like "
              "'12%' or Home1 like '12%' or Home2 like '12%' or email like '12%' or website like '%12%' or remark "
              "like '%12%' order by contactname");
    Contact values = sampleContacts()[0];
    EXPECT_EQ(contact::updateStatement(values, "7"),
              "update tblContact set ContactName='Martin Oakes',DateOfBirth='04/04/1978',Mobile1='18011358542',"
              "Mobile2='',Work1='18015813542',Work2='',Fax1='',Fax2='',Home1='18015425813',Home2='',"
              "Email='martin.oakes@example.com',Website='https://www.example.com/martin-oakes',"
              "Remark='VODE Manager' where contactid=7");
    EXPECT_EQ(contact::deleteStatement("42"), "delete from tblContact where contactid=42");
}

TEST(Statements, EveryValueHasItsApostrophesDoubled)
{
    const QString tail = QStringLiteral("O'Brien'); drop table tblContact;--");
    const QString doubled = QStringLiteral("O''Brien''); drop table tblContact;--");
    QString expected = kInsertPrefix;
    for (int i = 0; i < contact::kFieldCount; ++i)
        expected += (i ? QStringLiteral("','") : QString()) + doubled;
    EXPECT_EQ(contact::insertStatement(allValues(tail)), expected + "')");
    EXPECT_EQ(contact::updateStatement(allValues(tail), "1").count("O''Brien''"), 13);
    EXPECT_EQ(contact::searchQuery("O'B").count("O''B"), 13);
    // A value that already holds two apostrophes keeps both, each doubled.
    EXPECT_TRUE(contact::insertStatement(allValues("''")).contains("''''"));
    // Wildcards stay wildcards.
    EXPECT_TRUE(contact::searchQuery("a%_").contains("like 'a%_%'"));
}

TEST(Statements, IdMustBeAWholeNumber)
{
    const Contact values = allValues("x");
    for (const char* bad : {"", " 1", "1 ", "1;drop table tblContact", "-", "--1", "+1", "1.5", "0x10", "abc",
                            "9223372036854775808", "-9223372036854775809", "123456789012345678901"}) {
        EXPECT_THROW(contact::deleteStatement(bad), AppError) << bad;
        EXPECT_THROW(contact::updateStatement(values, bad), AppError) << bad;
    }
    EXPECT_EQ(contact::deleteStatement("0"), "delete from tblContact where contactid=0");
    // Every value SQLite's integer key can hold: other programs write them.
    EXPECT_EQ(contact::deleteStatement("-9223372036854775808"),
              "delete from tblContact where contactid=-9223372036854775808");
    EXPECT_EQ(contact::rowQuery("9223372036854775807"), "select * from tblContact where contactid=9223372036854775807");
}
