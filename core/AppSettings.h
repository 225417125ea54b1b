#pragma once

#include "core/FinderAccess.h"
#include "core/Page.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class QClipboard;

// Product folder path -> selected. A sorted map, so every walk over it (and so
// every composed install script) comes out in the same order.
using ProductMap = QMap<QString, bool>;

// The one installer state object and its page flow; what reads the disk or
// runs scripts on it is engine/Installer. Lives on the main thread; every write of a
// published field announces itself through objectWillChange() before the value
// is stored, with no comparison against the old value. logDetailsStr and the
// clipboard reference are plain fields and announce nothing.
//
// Glossary: showPermanentlyAlert raises the install confirmation (Cancel /
// Install); accessType is the file-manager probe's answer.
class AppSettings : public QObject
{
    Q_OBJECT

public:
    explicit AppSettings(QObject *parent = nullptr);

    // Published fields.
    Page currentPage() const { return m_currentPage; }
    void setCurrentPage(Page page);
    const ProductMap &products() const { return m_products; }
    void setProducts(const ProductMap &products);
    FinderAccess accessType() const { return m_accessType; }
    void setAccessType(FinderAccess access);
    bool agreeWithTerms() const { return m_agreeWithTerms; }
    void setAgreeWithTerms(bool value);
    bool showLicenseAlert() const { return m_showLicenseAlert; }
    void setShowLicenseAlert(bool value);
    bool showPermanentlyAlert() const { return m_showPermanentlyAlert; }
    void setShowPermanentlyAlert(bool value);
    bool showFinderAlert() const { return m_showFinderAlert; }
    void setShowFinderAlert(bool value);
    bool completedWithErrors() const { return m_completedWithErrors; }
    void setCompletedWithErrors(bool value);
    bool showLogDetailsWindow() const { return m_showLogDetailsWindow; }
    void setShowLogDetailsWindow(bool value);

    // Plain fields.
    QClipboard *pasteboard() const { return m_pasteboard; }
    const QString &logDetailsStr() const { return m_logDetailsStr; }
    void setLogDetailsStr(const QString &text) { m_logDetailsStr = text; }

    // Page flow.
    void nextAction();
    void agreeWithLicense();
    void goBack();

signals:
    void objectWillChange();
    // nextAction on the last page asks the application to end; the
    // application entry answers it by quitting the event loop.
    void terminateRequested();

private:
    template <typename T> void publish(T &field, const T &value)
    {
        emit objectWillChange();
        field = value;
    }

    Page m_currentPage = Page::intro;
    ProductMap m_products;
    FinderAccess m_accessType = FinderAccess::unknown;
    bool m_agreeWithTerms = false;
    bool m_showLicenseAlert = false;
    bool m_showPermanentlyAlert = false;
    bool m_showFinderAlert = false;
    bool m_completedWithErrors = false;
    bool m_showLogDetailsWindow = false;
    QClipboard *m_pasteboard = nullptr;
    QString m_logDetailsStr;
};
