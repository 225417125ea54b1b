#pragma once

class AppSettings;

// The overlays of the alert layer, in their order of precedence.
enum class Overlay
{
    none,
    agreementAlert,
    installConfirmation,
    finderAccessAlert,
    logWindow
};

namespace OverlayRule {

// The one overlay the state calls for: the first condition that holds wins.
// A flag whose condition fails is left as it is, so its overlay comes back
// when the condition holds again.
Overlay forState(const AppSettings &settings);

} // namespace OverlayRule
