#include "ui/PageTexts.h"

#include <QCoreApplication>

namespace PageTexts {

QString sidebarTitle(Page page)
{
    switch (page) {
    case Page::intro:
        return QCoreApplication::translate("PageTexts", "Introduction");
    case Page::license:
        return QCoreApplication::translate("PageTexts", "License");
    case Page::install:
        return QCoreApplication::translate("PageTexts", "Products");
    case Page::summary:
        return QCoreApplication::translate("PageTexts", "Summary");
    }
    return QString();
}

QString contentTitle(Page page)
{
    switch (page) {
    case Page::intro:
        return applicationName();
    case Page::license:
        return QCoreApplication::translate("PageTexts", "Software License Agreement");
    case Page::install:
        return QCoreApplication::translate("PageTexts", "The following Products will be installed");
    case Page::summary:
        break;
    }
    return QString();
}

QString forwardLabel(Page page)
{
    return page == Page::summary ? QCoreApplication::translate("PageTexts", "Close")
                                 : QCoreApplication::translate("PageTexts", "Next");
}

QString backLabel()
{
    return QCoreApplication::translate("PageTexts", "Go Back");
}

QString applicationName()
{
    return QCoreApplication::translate("PageTexts", "Quorvantic Plugin Installer");
}

QString windowName(Page page)
{
    return QCoreApplication::translate("PageTexts", "%1 — %2, step %3 of %4")
        .arg(applicationName(), sidebarTitle(page))
        .arg(PageInfo::rawValue(page) + 1)
        .arg(PageInfo::allCases.size());
}

bool backEnabled(Page page)
{
    return page == Page::license || page == Page::install;
}

} // namespace PageTexts
