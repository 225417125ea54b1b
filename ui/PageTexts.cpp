#include "ui/PageTexts.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PageTexts", text);
}

} // namespace

namespace PageTexts {

QString sidebarTitle(Page page)
{
    switch (page) {
    case Page::intro:
        return tr("Introduction");
    case Page::license:
        return tr("License");
    case Page::install:
        return tr("Products");
    case Page::summary:
        return tr("Summary");
    }
    return QString();
}

QString contentTitle(Page page)
{
    switch (page) {
    case Page::intro:
        return applicationName();
    case Page::license:
        return tr("Software License Agreement");
    case Page::install:
        return tr("The following Products will be installed");
    case Page::summary:
        break;
    }
    return QString();
}

QString forwardLabel(Page page)
{
    return page == Page::summary ? tr("Close") : tr("Next");
}

QString backLabel()
{
    return tr("Go Back");
}

QString applicationName()
{
    return tr("Quorvantic Plugin Installer");
}

QString windowName(Page page)
{
    return tr("%1 — %2, step %3 of %4")
        .arg(applicationName(), sidebarTitle(page))
        .arg(PageInfo::rawValue(page) + 1)
        .arg(PageInfo::allCases.size());
}

bool backEnabled(Page page)
{
    return page == Page::license || page == Page::install;
}

} // namespace PageTexts
