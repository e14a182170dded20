#include "support/controls.h"
#include "support/editorfixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "model/storeddate.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/birthdateedit.h"
#include "ui/editor/form2.h"

namespace {

// The editor on screen with the keyboard in one of its controls; whatever a
// key started runs before the keys' effects are looked at.
void showAndFocus(Form2& editor, QWidget& target)
{
    editor.show();
    QApplication::setActiveWindow(&editor);
    target.setFocus(Qt::TabFocusReason);
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace

using EditorKeys = EditorFixture;

// Every way of saving from the keyboard saves exactly once and closes.
TEST_F(EditorKeys, ReturnCtrlSAndCtrlReturnSaveAsTheButtonDoes)
{
    struct Case {
        const char* name;
        const char* focus;
        QKeyCombination keys;
    };
    const Case cases[] = {
        {"Return in a phone box", "txtMobile1", Qt::Key_Return},
        {"Enter in the name", "txtContactName", Qt::Key_Enter},
        {"Return in the date", "dtpDOB", Qt::Key_Return},
        {"Ctrl+S in the e-mail", "txtEmailAdd", Qt::CTRL | Qt::Key_S},
        {"Ctrl+Return in the notes", "txtRemarks", Qt::CTRL | Qt::Key_Return},
        {"Return on the Save button", "PushButton1", Qt::Key_Return},
    };
    for (const Case& c : cases) {
        messages->clear();
        addContactCommand(*form, [&](Form2& editor) {
            control<QLineEdit>(editor, "txtContactName").setText(QString::fromLatin1(c.name));
            QWidget& target = control<QWidget>(editor, c.focus);
            showAndFocus(editor, target);
            QTest::keyClick(&target, c.keys.key(), c.keys.keyboardModifiers());
            settle();
            EXPECT_EQ(editor.result(), QDialog::Accepted) << c.name;
            EXPECT_FALSE(editor.isVisible()) << c.name;
        });
        EXPECT_EQ(messages->texts(), QStringList({"Record Successfully Saved."})) << c.name;
        EXPECT_TRUE(listedNames().contains(QString::fromLatin1(c.name))) << c.name;
    }
    EXPECT_EQ(stored().size(), std::size(cases));

    // Return in the notes is a new line, and on Cancel it cancels.
    addContactCommand(*form, [&](Form2& editor) {
        auto& notes = control<QPlainTextEdit>(editor, "txtRemarks");
        showAndFocus(editor, notes);
        QTest::keyClicks(&notes, "one");
        QTest::keyClick(&notes, Qt::Key_Return);
        QTest::keyClicks(&notes, "two");
        settle();
        EXPECT_TRUE(editor.isVisible());
        EXPECT_EQ(notes.toPlainText(), "one\ntwo");
        auto& cancel = control<QPushButton>(editor, "PushButton2");
        cancel.setFocus(Qt::TabFocusReason);
        QTest::keyClick(&cancel, Qt::Key_Return);
        settle();
        EXPECT_EQ(editor.result(), QDialog::Rejected);
    });
    EXPECT_EQ(stored().size(), std::size(cases));
}

TEST_F(EditorKeys, EscapeAsksOnlyWhenSomethingWasTyped)
{
    seed(named("Anna"));
    select(0);
    updateContactCommand(*form, [&](Form2& editor) {
        auto& name = control<QLineEdit>(editor, "txtContactName");
        showAndFocus(editor, name);
        QTest::keyClick(&name, Qt::Key_Escape);
        settle();
        EXPECT_FALSE(editor.isVisible());
    });
    EXPECT_TRUE(messages->shown().empty());

    select(0);
    updateContactCommand(*form, [&](Form2& editor) {
        auto& phone = control<QLineEdit>(editor, "txtHome1");
        showAndFocus(editor, phone);
        QTest::keyClicks(&phone, "555");
        messages->answer(MsgAnswer::No);
        QTest::keyClick(&phone, Qt::Key_Escape);
        settle();
        ASSERT_EQ(messages->shown().size(), 1u);
        EXPECT_EQ(messages->shown()[0].buttons, MsgButtons::YesNo);
        EXPECT_TRUE(editor.isVisible());
        EXPECT_EQ(phone.text(), "555");
        messages->answer(MsgAnswer::Yes);
        QTest::keyClick(&phone, Qt::Key_Escape);
        settle();
        EXPECT_FALSE(editor.isVisible());
        EXPECT_EQ(editor.result(), QDialog::Rejected);
    });
    EXPECT_EQ(messages->shown().size(), 2u);
    EXPECT_EQ(stored()[0][9], QString());
}

// Digits go month, day, year, as the list shows dates, with or without
// separators, into a known date or an unknown one.
TEST_F(EditorKeys, DatesAreTypedInTheListsOrderAndCanBeCleared)
{
    struct Case {
        const char* typed;
        QDate expected;
    };
    const Case cases[] = {
        {"03141985", QDate(1985, 3, 14)},  {"3/14/1985", QDate(1985, 3, 14)},   {"3.14.1985", QDate(1985, 3, 14)},
        {"12/1/1960", QDate(1960, 12, 1)}, {"11-30-2001", QDate(2001, 11, 30)}, {"02291996", QDate(1996, 2, 29)},
    };
    for (const bool startUnknown : {false, true}) {
        for (const Case& c : cases) {
            Form2 editor(*form, form.get());
            auto& date = control<BirthDateEdit>(editor, "dtpDOB");
            if (startUnknown)
                date.setUnknown();
            showAndFocus(editor, date);
            QTest::keyClicks(&date, c.typed);
            EXPECT_EQ(date.date(), c.expected) << c.typed << " unknown first: " << startUnknown;
            EXPECT_EQ(editor.contact()[contact::Field::DateOfBirth], formatStoredDate(c.expected)) << c.typed;
        }
    }

    // Cleared by Delete on the whole date, then saved and shown empty.
    addContactCommand(*form, [&](Form2& editor) {
        control<QLineEdit>(editor, "txtContactName").setText("Undated");
        auto& date = control<BirthDateEdit>(editor, "dtpDOB");
        EXPECT_EQ(date.date(), QDate::currentDate());
        showAndFocus(editor, date);
        QTest::keyClick(&date, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&date, Qt::Key_Delete);
        EXPECT_TRUE(date.isUnknown());
        EXPECT_EQ(date.text().trimmed(), QString());
        QTest::keyClick(&date, Qt::Key_Return);
        settle();
    });
    ASSERT_EQ(form->rowCount(), 1);
    EXPECT_EQ(form->text(0, contact::Field::DateOfBirth), QString());
    EXPECT_EQ(stored()[0][2], QString());
}

TEST_F(EditorKeys, TheCalendarOpensFromTheKeyboardAndOffersNoDate)
{
    Form2 editor(*form, form.get());
    auto& date = control<BirthDateEdit>(editor, "dtpDOB");
    date.setDate(QDate(1971, 6, 5));
    showAndFocus(editor, date);
    EXPECT_EQ(date.accessibleDescription(), "month");
    QTest::keyClick(&date, Qt::Key_Right, Qt::NoModifier);
    QTest::keyClicks(&date, "/");
    EXPECT_EQ(date.accessibleDescription(), "day");

    QTest::keyClick(&date, Qt::Key_Down, Qt::AltModifier);
    QCalendarWidget* calendar = date.calendarWidget();
    ASSERT_TRUE(calendar->isVisible());
    EXPECT_EQ(calendar->yearShown(), 1971);
    EXPECT_EQ(calendar->monthShown(), 6);
    control<QPushButton>(*calendar, "noDate").click();
    EXPECT_FALSE(calendar->isVisible());
    EXPECT_TRUE(date.isUnknown());
    EXPECT_EQ(editor.contact()[contact::Field::DateOfBirth], QString());

    // An unknown date's calendar opens a few decades back, not in 1600.
    QTest::keyClick(&date, Qt::Key_F4);
    ASSERT_TRUE(calendar->isVisible());
    EXPECT_GT(calendar->yearShown(), QDate::currentDate().year() - 45);
    EXPECT_LT(calendar->yearShown(), QDate::currentDate().year() - 15);
    calendar->window()->hide();
}
