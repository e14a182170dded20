#pragma once

#include <array>

#include <QByteArrayView>

#include "model/contact.h"

// A contact's values in field order as UTF-8, as the store keeps them: what
// a large import and export pass along instead of thirteen QStrings each.
using Utf8Values = std::array<QByteArrayView, contact::kFieldCount>;
