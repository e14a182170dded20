#include "support/controls.h"
#include "support/editorfixture.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "model/storeddate.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"

namespace {

// Types a name into a fresh Add editor and presses Save; tells whether the
// editor closed.
bool addNamed(Form1& form, const QString& name)
{
    bool closed = false;
    addContactCommand(form, [&](Form2& editor) {
        control<QLineEdit>(editor, "txtContactName").setText(name);
        editor.PushButton1_Click();
        closed = editor.result() == QDialog::Accepted;
    });
    return closed;
}

} // namespace

using EditorSave = EditorFixture;

TEST_F(EditorSave, EmptyAndBlankNamesAreRefusedAndNothingIsWritten)
{
    for (const QString& name : {QString(), QStringLiteral("    "), QStringLiteral("\t ")}) {
        messages->clear();
        EXPECT_FALSE(addNamed(*form, name));
        EXPECT_EQ(messages->texts(), QStringList({"You forgot to input contact name."}));
        EXPECT_EQ(messages->shown()[0].title, "Rondexa");
        EXPECT_EQ(messages->shown()[0].icon, MsgIcon::None);
    }
    EXPECT_TRUE(stored().empty());
}

TEST_F(EditorSave, DuplicateNamesInAddModeAreTheListedOnesUpperCased)
{
    seed(named("Martin Oakes"));
    seed(named(QString::fromUtf8("борис")));
    seed(named(QString::fromUtf8("Émile Zola")));

    EXPECT_FALSE(addNamed(*form, "MARTIN OAKES"));
    EXPECT_FALSE(addNamed(*form, QString::fromUtf8("БОРИС")));
    EXPECT_FALSE(addNamed(*form, QString::fromUtf8("émile zola")));
    EXPECT_EQ(messages->texts(), QStringList(3, "Contact name already exists in the database."));
    EXPECT_EQ(stored().size(), 3u);

    // A leading space makes it another name, saved with the space.
    messages->clear();
    EXPECT_TRUE(addNamed(*form, " Martin Oakes"));
    EXPECT_EQ(messages->texts(), QStringList({"Record Successfully Saved."}));
    EXPECT_TRUE(listedNames().contains(" Martin Oakes"));

    // The data file has the last word: a search that hides Martin does not
    // let his name through.
    searchCommand(*form, QString::fromUtf8("бор"));
    ASSERT_EQ(listedNames(), QStringList({QString::fromUtf8("борис")}));
    messages->clear();
    EXPECT_FALSE(addNamed(*form, "martin oakes"));
    EXPECT_EQ(messages->texts(), QStringList({"Contact name already exists in the database."}));
    EXPECT_EQ(stored().size(), 4u);
}

TEST_F(EditorSave, InsertWritesThirteenValuesAsTypedAndReportsAfterTheReload)
{
    int rowsWhenTold = -1;
    bool closed = false;
    addContactCommand(*form, [&](Form2& editor) {
        control<QLineEdit>(editor, "txtContactName").setText("  O'Brien, Seán  ");
        control<QDateEdit>(editor, "dtpDOB").setDate(QDate(1978, 4, 4));
        QLineEdit* fields[] = {&control<QLineEdit>(editor, "txtMobile1"),  &control<QLineEdit>(editor, "txtMobile2"),
                               &control<QLineEdit>(editor, "txtOffice1"),  &control<QLineEdit>(editor, "txtOffice2"),
                               &control<QLineEdit>(editor, "txtFax1"),     &control<QLineEdit>(editor, "txtFax2"),
                               &control<QLineEdit>(editor, "txtHome1"),    &control<QLineEdit>(editor, "txtHome2"),
                               &control<QLineEdit>(editor, "txtEmailAdd"), &control<QLineEdit>(editor, "txtWebsite")};
        int n = 0;
        for (QLineEdit* field : fields)
            field->setText(QStringLiteral(" v%1'x ").arg(++n));
        control<QPlainTextEdit>(editor, "txtRemarks").setPlainText("first line\nsecond 'line'\n\n  indented");
        QObject::connect(&editor, &QDialog::accepted, [&] { rowsWhenTold = form->rowCount(); });
        editor.PushButton1_Click();
        closed = editor.result() == QDialog::Accepted;
        EXPECT_EQ(editor.mousePointer(), 0);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(messages->texts(), QStringList({"Record Successfully Saved."}));
    EXPECT_EQ(rowsWhenTold, 1);
    const auto rows = stored();
    ASSERT_EQ(rows.size(), 1u);
    const std::array<QString, 14> expected = {rows[0][0],
                                              "  O'Brien, Seán  ",
                                              formatStoredDate(QDate(1978, 4, 4)),
                                              " v1'x ",
                                              " v2'x ",
                                              " v3'x ",
                                              " v4'x ",
                                              " v5'x ",
                                              " v6'x ",
                                              " v7'x ",
                                              " v8'x ",
                                              " v9'x ",
                                              " v10'x ",
                                              "first line\nsecond 'line'\n\n  indented"};
    EXPECT_EQ(rows[0], expected);
    EXPECT_EQ(form->text(0, contact::Field::Name), "  O'Brien, Seán  ");
}

TEST_F(EditorSave, UpdateRewritesEveryColumnWithoutAMessageAndMayTakeAnyName)
{
    seed(named("Anna"));
    seed(named("Bob"));
    select(rowOf("Bob"));
    const QString bobId = form->id(rowOf("Bob"));
    bool closed = false;
    updateContactCommand(*form, [&](Form2& editor) {
        EXPECT_EQ(editor.mContactID, bobId);
        control<QLineEdit>(editor, "txtContactName").setText("Anna");
        control<QPlainTextEdit>(editor, "txtRemarks").setPlainText("now also Anna");
        editor.PushButton1_Click();
        closed = editor.result() == QDialog::Accepted;
    });
    EXPECT_TRUE(closed);
    EXPECT_TRUE(messages->shown().empty());
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Anna"}));
    for (const auto& row : stored()) {
        if (row[0] == bobId) {
            EXPECT_EQ(row[13], "now also Anna");
            EXPECT_EQ(row[2], formatStoredDate(QDate(1990, 1, 2)));
        }
    }

    // Saving unchanged keeps the contact as it was.
    const auto before = stored();
    select(0);
    updateContactCommand(*form, [&](Form2& editor) { editor.PushButton1_Click(); });
    EXPECT_EQ(stored(), before);
}

TEST_F(EditorSave, RejectedStatementKeepsTheEditorOpenWithItsInput)
{
    seed(named("Kept Contact"));
    env->gConn()->execute(
        "create trigger refuse before insert on tblContact begin select raise(abort, 'disk is full'); end");
    bool closed = true;
    addContactCommand(*form, [&](Form2& editor) {
        control<QLineEdit>(editor, "txtContactName").setText("New Person");
        control<QPlainTextEdit>(editor, "txtRemarks").setPlainText("typed with care");
        editor.PushButton1_Click();
        closed = editor.result() == QDialog::Accepted;
        EXPECT_EQ(control<QLineEdit>(editor, "txtContactName").text(), "New Person");
        EXPECT_EQ(control<QPlainTextEdit>(editor, "txtRemarks").toPlainText(), "typed with care");
        EXPECT_EQ(editor.mousePointer(), 0);
    });
    EXPECT_FALSE(closed);
    ASSERT_EQ(messages->shown().size(), 1u);
    EXPECT_TRUE(messages->shown()[0].text.startsWith("disk is full\r\nin Rondexa2021/08/31.Form2.PushButton1_Click "
                                                     "at line 108\r\r"));
    EXPECT_EQ(stored().size(), 1u);

    messages->clear();
    env->gConn()->execute(
        "create trigger refuseUpdate before update on tblContact begin select raise(abort, 'read-only'); end");
    select(0);
    updateContactCommand(*form, [&](Form2& editor) {
        control<QLineEdit>(editor, "txtContactName").setText("Renamed");
        editor.PushButton1_Click();
        closed = editor.result() == QDialog::Accepted;
        EXPECT_EQ(control<QLineEdit>(editor, "txtContactName").text(), "Renamed");
    });
    EXPECT_FALSE(closed);
    ASSERT_EQ(messages->shown().size(), 1u);
    EXPECT_TRUE(messages->shown()[0].text.contains("at line 116\r\r"));
    EXPECT_EQ(listedNames(), QStringList({"Kept Contact"}));
}

// A field of hundreds of thousands of characters (an import accepts them) is
// never laid out whole: the box shows its start and cannot be edited, and the
// field is saved exactly as it was while the others change.
TEST_F(EditorSave, AFieldTooLongToEditIsShownCutAndSavedUnchanged)
{
    Contact values = named(QStringLiteral("Long ") + QString(300000, QLatin1Char('n')));
    values[contact::Field::Remark] = QString(150000, QChar(0x4E2D)) + QStringLiteral("\nend");
    seed(values);
    const auto before = stored();
    select(0);
    updateContactCommand(*form, [&](Form2& editor) {
        auto& name = control<QLineEdit>(editor, "txtContactName");
        auto& remarks = control<QPlainTextEdit>(editor, "txtRemarks");
        EXPECT_LE(name.text().size(), 1001);
        EXPECT_TRUE(name.text().startsWith("Long nnn"));
        EXPECT_TRUE(name.isReadOnly());
        EXPECT_LE(remarks.toPlainText().size(), 1001);
        EXPECT_TRUE(remarks.isReadOnly());
        EXPECT_FALSE(control<QLineEdit>(editor, "txtMobile1").isReadOnly());
        control<QLineEdit>(editor, "txtMobile1").setText("555");
        editor.PushButton1_Click();
    });
    EXPECT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").toStdString();
    const auto after = stored();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0][1], before[0][1]);
    EXPECT_EQ(after[0][13], before[0][13]);
    EXPECT_EQ(after[0][3], "555");
}
