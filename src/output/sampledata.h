#pragma once

#include <array>

#include "store/contacttable.h"

// The three example contacts.
const std::array<Contact, 3>& sampleContacts();

// The insert statement for example contact 0, 1 or 2.
QString sampleInsertStatement(int which);
