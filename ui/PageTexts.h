#pragma once

#include "core/Page.h"

#include <QString>

// What the window writes for each page. The sidebar and the content column
// name the product page differently.
namespace PageTexts {

QString sidebarTitle(Page page);
QString contentTitle(Page page);
QString forwardLabel(Page page);
QString backLabel();
QString applicationName();
// What assistive tools call the window: "Quorvantic Plugin Installer — License, step 2 of 4".
QString windowName(Page page);
bool backEnabled(Page page);

} // namespace PageTexts
