#pragma once

// The versions export writes; import also reads 2.1.
enum class VCardVersion { V30, V40 };
