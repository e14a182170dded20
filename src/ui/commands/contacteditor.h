#pragma once

#include <QString>

#include "model/contact.h"
#include "store/contactwrites.h"

// What the Add and Update commands need of the contact editor: the settings
// they give it before showing it, field by field as their numbered steps do.
class ContactEditor {
public:
    // Add inserts a new contact and refuses a name the list already shows;
    // Update rewrites the contact of the editor's ID and may take any name.
    enum class Mode { Add, Update };

    virtual ~ContactEditor() = default;

    virtual void setContactId(const QString& id) = 0;
    virtual void setCaption(const QString& caption) = 0;
    // Fills one field from its stored text; throws when the field cannot show
    // it (a date of birth the picker cannot read).
    virtual void setField(contact::Field field, const QString& text) = 0;
    virtual void setMode(Mode mode) = 0;
    // Remembers the filled fields and what is stored for them, so that a
    // save writes only what the user changed, and only over the contact as
    // it was read.
    virtual void rememberFilled(const StoredTexts& stored) = 0;
};
