#pragma once

// What assistive tools are told about the wizard's own widgets: the sidebar
// as a list of steps with the current one selected, each overlay panel as a
// modal dialog, and the page under an overlay out of reach while it shows.
namespace Accessibility {

// Installs the wizard's interfaces beside Qt's; once per process is enough,
// later calls do nothing. Needs a QApplication.
void install();

} // namespace Accessibility
