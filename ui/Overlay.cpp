#include "ui/Overlay.h"

#include "core/AppSettings.h"

namespace OverlayRule {

Overlay forState(const AppSettings &s)
{
    if (!s.agreeWithTerms() && s.showLicenseAlert())
        return Overlay::agreementAlert;
    if (s.showPermanentlyAlert() && s.currentPage() == Page::install)
        return Overlay::installConfirmation;
    if (s.showFinderAlert() && s.currentPage() == Page::install)
        return Overlay::finderAccessAlert;
    if (s.showLogDetailsWindow() && s.currentPage() == Page::summary)
        return Overlay::logWindow;
    return Overlay::none;
}

} // namespace OverlayRule
