#include "editorinput.h"

#include "ui/editor/form2.h"

void typeInto(Form2& editor, const Contact& values)
{
    Contact typed = values;
    typed.id = editor.mContactID;
    editor.setContact(typed);
}

Contact readFrom(const Form2& editor)
{
    Contact shown = editor.contact();
    shown.id.clear();
    return shown;
}
