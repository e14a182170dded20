#include "support/contacts.h"
#include "support/controls.h"
#include "support/editorfixture.h"

#include <QLineEdit>
#include <QTest>

#include "ui/commands/contactcommands.h"

namespace {

Contact contactWith(const QString& name, int column, const QString& value)
{
    Contact values;
    values[contact::Field::Name] = name;
    values[fieldAt(static_cast<size_t>(column))] = value;
    return values;
}

} // namespace

class Search : public EditorFixture {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        seed(contactWith("Prefix Mobile", 2, "12345"));
        seed(contactWith("Middle Mobile", 2, "31245"));
        seed(contactWith("Remark Holder", 12, "call 0123 after six"));
        seed(contactWith("Web Person", 11, "https://example.org/12"));
        seed(contactWith("O'Brien", 10, "obrien@example.com"));
        seed(contactWith(QString::fromUtf8("Борис"), 1, "02/03/1978"));
        seed(contactWith("Zed", 9, "5550100"));
    }
    QStringList found(const QString& text)
    {
        searchCommand(*form, text);
        return listedNames();
    }
};

TEST_F(Search, PrefixColumnsBeginAndContainColumnsContain)
{
    EXPECT_EQ(found("12"), QStringList({"Prefix Mobile", "Remark Holder", "Web Person"}));
    EXPECT_EQ(found("1978"), QStringList({QString::fromUtf8("Борис")}));
    EXPECT_EQ(found("555"), QStringList({"Zed"}));
    EXPECT_EQ(found("0100"), QStringList());
    EXPECT_EQ(found("mobile"), QStringList());
    EXPECT_EQ(form->mousePointer(), 0);
    EXPECT_TRUE(messages->shown().empty());
}

TEST_F(Search, EmptyTextListsEverythingInNameOrder)
{
    const QStringList all = listedNames();
    found("12");
    EXPECT_EQ(found(""), all);
    EXPECT_EQ(all.size(), 7);
    EXPECT_EQ(all.first(), "Middle Mobile");
    EXPECT_EQ(all.last(), QString::fromUtf8("Борис"));
}

TEST_F(Search, WildcardsApostrophesAndOtherAlphabets)
{
    EXPECT_EQ(found("%").size(), 7);
    EXPECT_EQ(found("_").size(), 7);
    EXPECT_EQ(found("Z_d"), QStringList({"Zed"}));
    EXPECT_EQ(found("%Holder"), QStringList({"Remark Holder"}));
    EXPECT_EQ(found("o'b"), QStringList({"O'Brien"}));
    EXPECT_EQ(found(QString::fromUtf8("бОР")), QStringList({QString::fromUtf8("Борис")}));
    EXPECT_EQ(found("'); drop table tblContact;--"), QStringList());
    EXPECT_TRUE(messages->shown().empty());
    EXPECT_EQ(found("").size(), 7);
}

TEST_F(Search, EnterInTheBoxSearchesLikeTheButton)
{
    control<QLineEdit>(*form, "Text1").setText("zE");
    QTest::keyClick(&control<QLineEdit>(*form, "Text1"), Qt::Key_Return);
    EXPECT_EQ(listedNames(), QStringList({"Zed"}));
    EXPECT_EQ(control<QLineEdit>(*form, "Text1").text(), "zE");
    control<QLineEdit>(*form, "Text1").setText("12");
    form->PushButton4_Click();
    EXPECT_EQ(listedNames().size(), 3);
}

TEST_F(Search, FailingQueryIsReportedOnceAndLeavesAnEmptyList)
{
    env->gConn()->execute("alter table tblContact rename to tblGone");
    searchCommand(*form, "12");
    ASSERT_EQ(messages->shown().size(), 1u);
    EXPECT_TRUE(messages->shown()[0].text.startsWith("no such table: tblContact\r\n"));
    EXPECT_TRUE(messages->shown()[0].text.contains("Form1.PushButton4_Click at line 106\r\r"));
    EXPECT_EQ(form->rowCount(), 0);
    EXPECT_EQ(form->mousePointer(), 0);
}

// Keys spread over a wide range make the search read the table in parts at
// once, each on a connection of its own: every part's matches are found,
// none twice, the keys at the very ends of the range included.
TEST_F(Search, ATableReadInPartsFindsEveryMatchOnce)
{
    for (const char* id : {"-9223372036854775808", "-5", "400000", "900000", "9223372036854775807"})
        env->gConn()->execute(QStringLiteral("insert into tblContact (ContactID, ContactName, Remark) values "
                                             "(%1, 'Spread %1', 'call 12 later')")
                                  .arg(QLatin1String(id)));
    form->loadRondexa();
    EXPECT_EQ(found("12"), QStringList({"Prefix Mobile", "Remark Holder", "Spread -5", "Spread -9223372036854775808",
                                        "Spread 400000", "Spread 900000", "Spread 9223372036854775807", "Web Person"}));
    EXPECT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").toStdString();
}
