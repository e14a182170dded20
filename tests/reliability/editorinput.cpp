#include "editorinput.h"

#include <array>

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "ui/editor/form2.h"
#include "ui/editor/storeddate.h"

namespace {

std::array<QLineEdit*, 11> lineFields(const Form2& editor)
{
    return {editor.txtContactName, editor.txtMobile1,  editor.txtMobile2, editor.txtOffice1,
            editor.txtOffice2,     editor.txtFax1,     editor.txtFax2,    editor.txtHome1,
            editor.txtHome2,       editor.txtEmailAdd, editor.txtWebsite};
}

// The column each line field feeds: the name, then Mobile1 to Website.
size_t columnOf(size_t field)
{
    return field == 0 ? 0 : field + 1;
}

} // namespace

void typeInto(Form2& editor, const contact::Values& values)
{
    const auto fields = lineFields(editor);
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->setText(values[columnOf(i)]);
    editor.dtpDOB->setDate(readStoredDate(values[1]));
    editor.txtRemarks->setPlainText(values[12]);
}

contact::Values readFrom(const Form2& editor)
{
    contact::Values values;
    const auto fields = lineFields(editor);
    for (size_t i = 0; i < fields.size(); ++i)
        values[columnOf(i)] = fields[i]->text();
    values[1] = formatStoredDate(editor.dtpDOB->date());
    values[12] = editor.txtRemarks->toPlainText();
    return values;
}
