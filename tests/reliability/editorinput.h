#pragma once

#include "store/contacttable.h"

class Form2;

// Puts the thirteen values into the editor's fields as a user would leave
// them; the date of birth is given in its stored form.
void typeInto(Form2& editor, const Contact& values);
// What the editor's fields hold, in column order, the date in stored form.
Contact readFrom(const Form2& editor);
