#pragma once

#include <string_view>

// The system folders an install writes to, each ending with "/". The helper
// refuses to write anywhere else, and the install script is composed for the
// same folders, so both read them from here.
namespace helper::locations {

inline constexpr std::string_view applications = "/opt";
inline constexpr std::string_view applicationSupport = "/usr/local/share";

inline constexpr std::string_view app = "/opt/Quorvantic/";
inline constexpr std::string_view stillPlugins = "/usr/local/share/Adobe/Plug-Ins/CC/Quorvantic/";
inline constexpr std::string_view videoPlugins =
    "/usr/local/share/Adobe/Common/Plug-ins/7.0/MediaCore/Quorvantic/";

// Where the helper keeps what each install did, root's own (one file a product).
inline constexpr std::string_view receipts = "/var/opt/quorvantic-installer/receipts/";

// Where a bundle keeps its products, relative to the folder of its helper
// (usr/libexec/quorvantic-installer) and of its executables (usr/bin).
inline constexpr std::string_view productsFromHelper = "../../share/quorvantic-installer/Products";
inline constexpr std::string_view productsFromExecutable = "../share/quorvantic-installer/Products";

} // namespace helper::locations
