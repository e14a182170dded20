#pragma once

// The values a window's mouse pointer takes, as the windows and the commands
// that set it name them.
namespace pointer {

inline constexpr int kDefault = 0;
// While a command works; mouse moves never replace it.
inline constexpr int kHourglass = 11;
// The window's own picture: the hand over buttons.
inline constexpr int kCustom = 99;

} // namespace pointer
