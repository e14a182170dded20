#include "ui/editor/contactcommands.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/errortrap.h"
#include "app/messagebox.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/contactwrites.h"
#include "store/recordset.h"
#include "ui/editor/form2.h"
#include "ui/editor/mainlist.h"
#include "ui/editor/notesbox.h"
#include "ui/editor/storeddate.h"

void showEditorModally(Form2& editor)
{
    editor.exec();
}

void addContactCommand(MainList& list, const EditorPresenter& present)
{
    ErrorTrap trap(locationTag("Form1", "PushButton1_Click"));
    Form2 editor(list, list.ownerWidget());
    trap.step(100, [&] { editor.mContactID.clear(); });
    trap.step(102, [&] { editor.setWindowTitle(QStringLiteral("Add New Contact")); });
    trap.step(104, [&] { present(editor); });
}

void updateContactCommand(MainList& list, const EditorPresenter& present)
{
    ErrorTrap trap(locationTag("Form1", "PushButton3_Click"));
    if (trap.test(100, [&] { return list.rowCount() == 0; }))
        return;
    // Rows but none selected: an editor in update mode without a chosen
    // contact could overwrite one the user never picked, so nothing happens.
    const int row = list.selectedRow();
    if (row < 0)
        return;
    Form2 editor(list, list.ownerWidget());
    // What the row holds byte for byte, before anything can change the list.
    StoredTexts stored;
    for (int column = 1; column <= contact::kDataColumns; ++column)
        stored[static_cast<size_t>(column - 1)] = list.textUtf8(row, column).toByteArray();
    trap.step(102, [&] { editor.mContactID = list.text(row, 0); });
    trap.step(104, [&] { editor.txtContactName->setText(list.text(row, 1)); });
    trap.step(106, [&] { editor.dtpDOB->setDate(readStoredDate(list.text(row, 2))); });
    QLineEdit* const fields[] = {editor.txtMobile1,  editor.txtMobile2, editor.txtOffice1, editor.txtOffice2,
                                 editor.txtFax1,     editor.txtFax2,    editor.txtHome1,   editor.txtHome2,
                                 editor.txtEmailAdd, editor.txtWebsite};
    int line = 108;
    int column = 3;
    for (QLineEdit* field : fields) {
        trap.step(line, [&] { field->setText(list.text(row, column)); });
        line += 2;
        ++column;
    }
    trap.step(128, [&] { editor.txtRemarks->setNotes(list.text(row, 13)); });
    trap.step(130, [&] { editor.setWindowTitle(QStringLiteral("Update Contact")); });
    trap.step(132, [&] { editor.PushButton1->setText(QStringLiteral("Update")); });
    editor.rememberFilled(stored);
    trap.step(134, [&] { present(editor); });
}

void deleteContactCommand(MainList& list)
{
    ErrorTrap trap(locationTag("Form1", "PushButton2_Click"));
    if (trap.test(100, [&] { return list.rowCount() == 0; }))
        return;
    const int row = list.selectedRow();
    if (row < 0)
        return;
    if (trap.test(102, [&] {
            return msgBox(QStringLiteral("Are you sure you want to delete ") + list.text(row, 1) + QStringLiteral("?"),
                          MsgButtons::YesNo) != MsgAnswer::Yes;
        }))
        return;
    WriteOutcome outcome = WriteOutcome::Written;
    trap.step(104, [&] {
        const QString id = list.text(row, 0);
        contact::checkedId(id);
        list.setMousePointer(11);
        outcome = deleteContact(sharedConnection(), id);
    });
    trap.step(106, [&] { list.loadRondexa(); });
    if (outcome == WriteOutcome::Gone)
        msgBox(QStringLiteral("This contact had already been deleted elsewhere (in another window or program)."));
}

void searchCommand(MainList& list, const QString& text)
{
    ErrorTrap trap(locationTag("Form1", "PushButton4_Click"));
    Recordset recordset;
    trap.step(102, [&] { list.setMousePointer(11); });
    trap.step(104, [&] { list.clearRows(); });
    // A query that cannot run is reported once; the search then ends with an
    // empty list instead of failing at every step of the fill.
    if (!trap.attempt(106, [&] { recordset.open(contact::searchQuery(text), sharedConnection(), 3, 1); })) {
        list.setMousePointer(0);
        return;
    }
    trap.step(108, [&] { list.fillFrom(recordset); });
    trap.step(140, [&] {
        if (recordset.state() != 0)
            recordset.close();
    });
    trap.step(142, [&] { list.setMousePointer(0); });
}
