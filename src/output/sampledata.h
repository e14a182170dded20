#pragma once

#include <array>

#include "store/contacttable.h"

// The three example contacts, in table column order.
const std::array<contact::Values, 3>& sampleContacts();

// The insert statement for example contact 0, 1 or 2.
QString sampleInsertStatement(int which);
