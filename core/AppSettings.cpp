#include "core/AppSettings.h"

#include <QGuiApplication>

namespace {

// A process without a GUI application (the command-line front end) has no
// clipboard to hold.
QClipboard *systemClipboard()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QGuiApplication::clipboard();
    return nullptr;
}

Page pageAfter(Page page)
{
    return PageInfo::fromRawValue(PageInfo::rawValue(page) + 1).value_or(page);
}

Page pageBefore(Page page)
{
    return PageInfo::fromRawValue(PageInfo::rawValue(page) - 1).value_or(page);
}

} // namespace

AppSettings::AppSettings(QObject *parent) : QObject(parent), m_pasteboard(systemClipboard()) {}

void AppSettings::setCurrentPage(Page page)
{
    publish(m_currentPage, page);
}

void AppSettings::setProducts(const ProductMap &products)
{
    publish(m_products, products);
}

void AppSettings::setAccessType(FinderAccess access)
{
    publish(m_accessType, access);
}

void AppSettings::setAgreeWithTerms(bool value)
{
    publish(m_agreeWithTerms, value);
}

void AppSettings::setShowLicenseAlert(bool value)
{
    publish(m_showLicenseAlert, value);
}

void AppSettings::setShowPermanentlyAlert(bool value)
{
    publish(m_showPermanentlyAlert, value);
}

void AppSettings::setShowFinderAlert(bool value)
{
    publish(m_showFinderAlert, value);
}

void AppSettings::setCompletedWithErrors(bool value)
{
    publish(m_completedWithErrors, value);
}

void AppSettings::setShowLogDetailsWindow(bool value)
{
    publish(m_showLogDetailsWindow, value);
}

void AppSettings::nextAction()
{
    switch (m_currentPage) {
    case Page::intro:
        setCurrentPage(Page::license);
        break;
    case Page::license:
        if (m_agreeWithTerms)
            setCurrentPage(Page::install);
        else
            setShowLicenseAlert(true);
        break;
    case Page::install:
        setShowPermanentlyAlert(true);
        break;
    case Page::summary:
        emit terminateRequested();
        break;
    }
}

void AppSettings::agreeWithLicense()
{
    setAgreeWithTerms(true);
    // On the last page there is no next one: the page stays where it is.
    setCurrentPage(pageAfter(m_currentPage));
}

void AppSettings::goBack()
{
    if (m_currentPage != Page::intro)
        setCurrentPage(pageBefore(m_currentPage));
}
