#include "support/controls.h"
#include "support/editorfixture.h"

#include <QAccessible>
#include <QApplication>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "model/storeddate.h"
#include "ui/editor/form2.h"

using EditorWindow = EditorFixture;

TEST_F(EditorWindow, LayoutTabOrderAndAccessibleNames)
{
    Form2 editor(*form, form.get());
    EXPECT_EQ(editor.windowTitle(), "Add New Contact");
    EXPECT_EQ(control<QPushButton>(editor, "PushButton1").text(), "Save Contact");
    EXPECT_EQ(control<QPushButton>(editor, "PushButton2").text(), "Cancel");
    EXPECT_EQ(editor.size(), QSize(536, 484));
    EXPECT_FALSE(editor.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(editor.windowFlags() & Qt::WindowMaximizeButtonHint);
    // Twips over 15 give pixels.
    EXPECT_EQ(control<QLineEdit>(editor, "txtContactName").geometry(), QRect(96, 8, 432, 23));
    EXPECT_EQ(control<QGroupBox>(editor, "Frame1").geometry(), QRect(8, 80, 520, 161));
    EXPECT_EQ(control<QLineEdit>(editor, "txtHome2").geometry(), QRect(344, 120, 160, 23));
    EXPECT_EQ(control<QPlainTextEdit>(editor, "txtRemarks").geometry(), QRect(88, 88, 417, 95));
    EXPECT_EQ(control<QPushButton>(editor, "PushButton2").geometry(), QRect(272, 448, 256, 27));
    EXPECT_EQ(control<QPlainTextEdit>(editor, "txtRemarks").verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // The day before the first date one can pick stands for an unknown date.
    EXPECT_EQ(control<QDateEdit>(editor, "dtpDOB").minimumDate(), QDate(1600, 12, 31));
    EXPECT_FALSE(control<QDateEdit>(editor, "dtpDOB").specialValueText().isEmpty());
    EXPECT_EQ(control<QDateEdit>(editor, "dtpDOB").maximumDate(), QDate(9999, 12, 31));
    EXPECT_TRUE(control<QDateEdit>(editor, "dtpDOB").calendarPopup());
    EXPECT_GT(control<QLineEdit>(editor, "txtContactName").maxLength(), 1 << 30);

    const QList<QWidget*> expectedOrder = {
        &control<QLineEdit>(editor, "txtContactName"),  &control<QDateEdit>(editor, "dtpDOB"),
        &control<QLineEdit>(editor, "txtMobile1"),      &control<QLineEdit>(editor, "txtMobile2"),
        &control<QLineEdit>(editor, "txtOffice1"),      &control<QLineEdit>(editor, "txtOffice2"),
        &control<QLineEdit>(editor, "txtFax1"),         &control<QLineEdit>(editor, "txtFax2"),
        &control<QLineEdit>(editor, "txtHome1"),        &control<QLineEdit>(editor, "txtHome2"),
        &control<QLineEdit>(editor, "txtEmailAdd"),     &control<QLineEdit>(editor, "txtWebsite"),
        &control<QPlainTextEdit>(editor, "txtRemarks"), &control<QPushButton>(editor, "PushButton1"),
        &control<QPushButton>(editor, "PushButton2")};
    QWidget* at = &control<QLineEdit>(editor, "txtContactName");
    for (int i = 1; i < expectedOrder.size(); ++i) {
        at = at->nextInFocusChain();
        while (at && at->focusPolicy() == Qt::NoFocus)
            at = at->nextInFocusChain();
        // The date edit's line edit and the remarks' viewport sit inside their owners.
        while (at && at->parentWidget() && expectedOrder.indexOf(at) < 0 &&
               expectedOrder.indexOf(at->parentWidget()) >= 0)
            at = at->nextInFocusChain();
        EXPECT_EQ(at, expectedOrder[i]) << i;
    }

    const std::pair<QWidget*, const char*> named[] = {{&control<QLineEdit>(editor, "txtContactName"), "Contact Name:"},
                                                      {&control<QDateEdit>(editor, "dtpDOB"), "Date Of Birth:"},
                                                      {&control<QLineEdit>(editor, "txtMobile1"), "Cell No. 1:"},
                                                      {&control<QLineEdit>(editor, "txtOffice2"), "Office No. 2:"},
                                                      {&control<QLineEdit>(editor, "txtFax1"), "Fax No. 1:"},
                                                      {&control<QLineEdit>(editor, "txtHome2"), "Home No. 2:"},
                                                      {&control<QLineEdit>(editor, "txtEmailAdd"), "Email:"},
                                                      {&control<QLineEdit>(editor, "txtWebsite"), "Website:"},
                                                      {&control<QPlainTextEdit>(editor, "txtRemarks"), "Addn Notes:"}};
    for (const auto& [widget, name] : named) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), QLatin1String(name));
    }
    for (QLabel* label : editor.findChildren<QLabel*>())
        EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
}

TEST_F(EditorWindow, HourglassIsNeverReplacedByMouseMoves)
{
    Form2 editor(*form, form.get());
    editor.setMousePointer(11);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&control<QPushButton>(editor, "PushButton1"), &enter);
    EXPECT_EQ(editor.mousePointer(), 11);
    editor.setMousePointer(0);
    QApplication::sendEvent(&control<QPushButton>(editor, "PushButton1"), &enter);
    EXPECT_EQ(editor.mousePointer(), 99);
    QApplication::sendEvent(&control<QGroupBox>(editor, "Frame2"), &enter);
    EXPECT_EQ(editor.mousePointer(), 0);
}
