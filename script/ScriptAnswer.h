#pragma once

#include <QLatin1String>

// The two answers a script run gives that callers act on: the install script's
// "all done", and the text a dismissed administrator prompt raises.
namespace ScriptAnswer {

inline constexpr QLatin1String ok("Ok");
inline constexpr QLatin1String userCanceled("User canceled.");

} // namespace ScriptAnswer
