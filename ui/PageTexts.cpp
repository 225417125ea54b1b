#include "ui/PageTexts.h"

namespace PageTexts {

QString sidebarTitle(Page page)
{
    switch (page) {
    case Page::intro:
        return QStringLiteral("Introduction");
    case Page::license:
        return QStringLiteral("License");
    case Page::install:
        return QStringLiteral("Products");
    case Page::summary:
        return QStringLiteral("Summary");
    }
    return QString();
}

QString contentTitle(Page page)
{
    switch (page) {
    case Page::intro:
        return QStringLiteral("Quorvantic Plugin Installer");
    case Page::license:
        return QStringLiteral("Software License Agreement");
    case Page::install:
        return QStringLiteral("The following Products will be installed");
    case Page::summary:
        break;
    }
    return QString();
}

QString forwardLabel(Page page)
{
    return page == Page::summary ? QStringLiteral("Close") : QStringLiteral("Next");
}

bool backEnabled(Page page)
{
    return page == Page::license || page == Page::install;
}

} // namespace PageTexts
