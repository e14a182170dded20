#include "support/controls.h"
#include "support/editorfixture.h"

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "model/storeddate.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"

namespace {

Contact everyField()
{
    return {"Martin Oakes",
            "04/04/1978",
            "18011358542",
            "m2",
            "w1",
            "w2",
            "f1",
            "f2",
            "h1",
            "h2",
            "martin@example.com",
            "https://www.example.com/",
            "VODE\nManager"};
}

// What the editor showed when it opened.
struct Seen {
    QString id, caption, saveCaption;
    QStringList fields;
    QDate date;
};

Seen look(Form2& editor)
{
    Seen seen{editor.mContactID,
              editor.windowTitle(),
              control<QPushButton>(editor, "PushButton1").text(),
              {},
              control<QDateEdit>(editor, "dtpDOB").date()};
    for (QLineEdit* field : {&control<QLineEdit>(editor, "txtContactName"), &control<QLineEdit>(editor, "txtMobile1"),
                             &control<QLineEdit>(editor, "txtMobile2"), &control<QLineEdit>(editor, "txtOffice1"),
                             &control<QLineEdit>(editor, "txtOffice2"), &control<QLineEdit>(editor, "txtFax1"),
                             &control<QLineEdit>(editor, "txtFax2"), &control<QLineEdit>(editor, "txtHome1"),
                             &control<QLineEdit>(editor, "txtHome2"), &control<QLineEdit>(editor, "txtEmailAdd"),
                             &control<QLineEdit>(editor, "txtWebsite")})
        seen.fields << field->text();
    seen.fields << control<QPlainTextEdit>(editor, "txtRemarks").toPlainText();
    return seen;
}

} // namespace

using Commands = EditorFixture;

TEST_F(Commands, UpdateFillsEveryFieldAndAddAfterItStartsClean)
{
    seed(everyField());
    select(0);
    Seen update;
    updateContactCommand(*form, [&](Form2& editor) { update = look(editor); });
    EXPECT_EQ(update.id, form->id(0));
    EXPECT_EQ(update.caption, "Update Contact");
    EXPECT_EQ(update.saveCaption, "Update");
    EXPECT_EQ(update.date, QDate(1978, 4, 4));
    QStringList expected;
    const Contact values = everyField();
    for (const contact::FieldInfo& field : contact::fields()) {
        if (field.field != contact::Field::DateOfBirth)
            expected << values[field.field];
    }
    EXPECT_EQ(update.fields, expected);

    Seen add;
    addContactCommand(*form, [&](Form2& editor) { add = look(editor); });
    EXPECT_TRUE(add.id.isEmpty());
    EXPECT_EQ(add.caption, "Add New Contact");
    EXPECT_EQ(add.saveCaption, "Save Contact");
    EXPECT_EQ(add.fields, QStringList(12, QString()));
    EXPECT_EQ(add.date, QDate::currentDate());
    EXPECT_TRUE(messages->shown().empty());
}

TEST_F(Commands, DoubleClickOpensTheRealModalEditorForTheSelectedRow)
{
    seed(named("Anna"));
    seed(named("Bob"));
    select(rowOf("Bob"));
    Seen seen;
    bool sawEditor = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* editor = qobject_cast<Form2*>(QApplication::activeModalWidget())) {
            sawEditor = true;
            seen = look(*editor);
            editor->PushButton2_Click();
        }
    });
    poll.start(10);
    QTimer::singleShot(5000, &poll, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    emit control<QTableView>(*form, "ListView1").doubleClicked(form->listModel().index(rowOf("Bob"), 1));
    poll.stop();
    EXPECT_TRUE(sawEditor);
    EXPECT_EQ(seen.caption, "Update Contact");
    EXPECT_EQ(seen.fields.value(0), "Bob");
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Bob"}));
}

TEST_F(Commands, DeleteAsksWithTheNameAndActsOnlyOnYes)
{
    seed(named("Anna"));
    seed(named("O'Brien"));
    select(rowOf("O'Brien"));
    messages->answer(MsgAnswer::No);
    form->PushButton2_Click();
    ASSERT_EQ(messages->shown().size(), 1u);
    EXPECT_EQ(messages->shown()[0].text, "Are you sure you want to delete O'Brien?");
    EXPECT_EQ(messages->shown()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(messages->shown()[0].icon, MsgIcon::None);
    EXPECT_EQ(messages->shown()[0].title, "Rondexa");
    EXPECT_EQ(stored().size(), 2u);

    messages->answer(MsgAnswer::Yes);
    select(rowOf("O'Brien"));
    form->PushButton2_Click();
    EXPECT_EQ(messages->shown().size(), 2u);
    EXPECT_EQ(listedNames(), QStringList({"Anna"}));
    EXPECT_EQ(stored().size(), 1u);
    EXPECT_EQ(form->mousePointer(), 0);
}

// An empty list has nothing to pick; with rows but none selected, Update and
// Delete say what to do, and neither changes a contact.
TEST_F(Commands, EmptyListDoesNothingAndNoSelectionSaysSo)
{
    bool editorShown = false;
    const auto present = [&](Form2&) { editorShown = true; };
    updateContactCommand(*form, present);
    form->PushButton2_Click();
    EXPECT_TRUE(messages->shown().empty());
    seed(named("Anna"));
    control<QTableView>(*form, "ListView1").clearSelection();
    updateContactCommand(*form, present);
    form->PushButton2_Click();
    EXPECT_FALSE(editorShown);
    EXPECT_EQ(messages->texts(), QStringList(2, "Select a contact first."));
    EXPECT_EQ(stored().size(), 1u);
}

TEST_F(Commands, StoredDatesReadBackUnderEveryRegionalSetting)
{
    const QLocale original;
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
          QLocale(QLocale::Russian, QLocale::Russia)}) {
        QLocale::setDefault(locale);
        env->gConn()->execute("delete from tblContact");
        form->loadRondexa();
        addContactCommand(*form, [&](Form2& editor) {
            control<QLineEdit>(editor, "txtContactName").setText("Dated");
            control<QDateEdit>(editor, "dtpDOB").setDate(QDate(1957, 11, 10));
            editor.PushButton1_Click();
        });
        ASSERT_EQ(form->rowCount(), 1);
        const QString storedDate = form->text(0, contact::Field::DateOfBirth);
        EXPECT_EQ(storedDate, locale.language() == QLocale::English ? "11/10/1957" : "11.10.1957");
        // Saved under one setting, read under another.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        select(0);
        QDate shown;
        updateContactCommand(*form, [&](Form2& editor) { shown = control<QDateEdit>(editor, "dtpDOB").date(); });
        EXPECT_EQ(shown, QDate(1957, 11, 10)) << storedDate.toStdString();
    }
    QLocale::setDefault(original);
    EXPECT_TRUE(messages->texts().filter("Application Error").isEmpty());
}

TEST_F(Commands, UnreadableStoredDateIsReportedAtLine106AndTheRestIsFilled)
{
    for (const QString& date : {QStringLiteral(" "), QStringLiteral("31/12/1999"), QStringLiteral("tomorrow")}) {
        env->gConn()->execute("delete from tblContact");
        Contact values = everyField();
        values[contact::Field::DateOfBirth] = date;
        seed(values);
        select(0);
        messages->clear();
        Seen seen;
        updateContactCommand(*form, [&](Form2& editor) { seen = look(editor); });
        ASSERT_EQ(messages->shown().size(), 1u) << date.toStdString();
        EXPECT_TRUE(messages->shown()[0].text.contains("Form1.PushButton3_Click at line 106\r\r"));
        EXPECT_EQ(messages->shown()[0].title, "Application Error");
        EXPECT_EQ(seen.fields.value(0), "Martin Oakes");
        EXPECT_EQ(seen.fields.value(11), "VODE\nManager");
        EXPECT_EQ(seen.caption, "Update Contact");
    }
}

// Contacts imported without a birthday are stored with an empty date: they
// open without a word and keep it empty, whatever else the user changes,
// until a date is picked.
TEST_F(Commands, AnEmptyStoredDateOpensQuietlyAndStaysEmpty)
{
    Contact values = everyField();
    values[contact::Field::DateOfBirth] = QString();
    seed(values);
    select(0);
    updateContactCommand(*form, [&](Form2& editor) {
        EXPECT_EQ(control<QDateEdit>(editor, "dtpDOB").text().trimmed(), QString());
        control<QLineEdit>(editor, "txtMobile2").setText("changed");
        editor.PushButton1_Click();
    });
    EXPECT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").toStdString();
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0][2], QString());
    EXPECT_EQ(stored()[0][4], "changed");

    select(0);
    updateContactCommand(*form, [&](Form2& editor) {
        control<QDateEdit>(editor, "dtpDOB").setDate(QDate(1985, 3, 14));
        editor.PushButton1_Click();
    });
    EXPECT_EQ(stored()[0][2], formatStoredDate(QDate(1985, 3, 14)));
}
