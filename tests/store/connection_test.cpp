#include <gtest/gtest.h>

#include <QFile>

#include "base/apperror.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/recordset.h"
#include "support/tempenv.h"

namespace {

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const AppError& e) {
        return e.description();
    }
    return QString();
}

} // namespace

TEST(Connection, OpensTheDataFileAndReadsNullsAsEmptyText)
{
    TempEnv env;
    env.installDataFile();
    Connection connection;
    EXPECT_EQ(connection.state(), 0);
    connection.open(env.connectionString());
    EXPECT_EQ(connection.state(), 1);
    connection.execute("insert into tblContact (ContactName) values ('Only A Name')");

    Recordset recordset;
    recordset.open(contact::listQuery(), connection, 3, 1);
    ASSERT_FALSE(recordset.eof());
    EXPECT_EQ(recordset.fieldCount(), 14);
    EXPECT_EQ(recordset.field(0), "1");
    EXPECT_EQ(recordset.field(1), "Only A Name");
    for (int i = 2; i < 14; ++i)
        EXPECT_EQ(recordset.field(i), QString()) << i;
    EXPECT_FALSE(errorOf([&] { recordset.field(14); }).isEmpty());
    recordset.moveNext();
    EXPECT_TRUE(recordset.eof());
    EXPECT_TRUE(errorOf([&] { recordset.field(0); }).contains("EOF"));
    recordset.close();
    EXPECT_EQ(recordset.state(), 0);

    connection.close();
    EXPECT_EQ(connection.state(), 0);
    EXPECT_EQ(errorOf([&] { connection.execute("delete from tblContact"); }),
              "Operation is not allowed when the object is closed.");
}

TEST(Connection, ReportsSqliteOwnMessagesAndRefusesSecondStatements)
{
    Connection connection;
    connection.openMemory();
    EXPECT_EQ(errorOf([&] { connection.execute("delete from nowhere"); }), "no such table: nowhere");
    connection.execute("create table t (a)");
    EXPECT_FALSE(errorOf([&] { connection.execute("insert into t values (1); drop table t"); }).isEmpty());
    // Trailing blanks and comments are no second statement.
    EXPECT_NO_THROW(connection.execute("insert into t values (2);  -- done"));
    Recordset recordset;
    EXPECT_FALSE(errorOf([&] { recordset.open("delete from t", connection, 3, 1); }).isEmpty());
    recordset.open("select count(*) from t", connection, 3, 1);
    EXPECT_EQ(recordset.field(0), "1");
}

TEST(Connection, EmptyFileGetsTheTableAndForeignTablesAreRefused)
{
    TempEnv env;
    const QString empty = env.root() + "/empty.mdb";
    QFile(empty).open(QIODevice::WriteOnly);
    Connection connection;
    connection.open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= " + empty);
    Recordset recordset;
    recordset.open("select * from tblContact", connection, 3, 1);
    EXPECT_EQ(recordset.fieldCount(), 14);
    recordset.close();
    connection.close();

    const QString foreign = env.root() + "/foreign.mdb";
    {
        Connection maker;
        QFile(foreign).open(QIODevice::WriteOnly);
        maker.open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= " + foreign);
        maker.execute("drop table tblContact");
        maker.execute("create table tblContact (ContactID integer primary key, DateOfBirth, ContactName)");
    }
    Connection other;
    const QString error = errorOf([&] { other.open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= " + foreign); });
    EXPECT_TRUE(error.contains("damaged or is not a contact file")) << error.toStdString();
    EXPECT_EQ(other.state(), 0);
    EXPECT_FALSE(
        errorOf([&] { other.open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= /nonexistent/x.mdb"); }).isEmpty());
}
