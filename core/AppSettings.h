#pragma once

#include "core/FinderAccess.h"
#include "core/Page.h"
#include "core/ScriptOutcome.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class QClipboard;

// Product folder path -> selected. A sorted map, so every walk over it (and so
// every composed install script) comes out in the same order.
using ProductMap = QMap<QString, bool>;

// The one installer state object. Lives on the main thread; every write of a
// published field announces itself through objectWillChange() before the value
// is stored, with no comparison against the old value. logDetailsStr and the
// clipboard reference are plain fields and announce nothing.
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

    // Catalogue: the products found in the resources folder, all selected.
    ProductMap productsToInstall() const;

    // Installation.
    QStringList elementsToCopy() const;
    // The install script for the selected products, composed but not run.
    QString composeInstallScript() const;
    void installSelectedProducts();
    void performScript(const QString &script);

    // Finder access probe.
    void checkAccess();

    // Where scripts run. Unset means the project's interpreter with a
    // privileged session; tests and front ends may put their own in.
    void setScriptExecutor(ScriptExecutor executor) { m_scriptExecutor = std::move(executor); }
    const ScriptExecutor &scriptExecutor() const { return m_scriptExecutor; }

    // The resources folder that holds "Products" and the licence. Defaults to
    // the bundle's, found from the executable's location.
    QString resourcesFolder() const;
    void setResourcesFolder(const QString &folder) { m_resourcesFolder = folder; }

signals:
    void objectWillChange();
    // nextAction on the last page asks the application to end; the
    // application entry answers it by quitting the event loop.
    void terminateRequested();
    // Emitted on the main thread right before and right after it blocks on a
    // script run, so a window can paint itself once and show a busy cursor.
    void scriptWaitStarted();
    void scriptWaitFinished();

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

    ScriptExecutor m_scriptExecutor;
    QString m_resourcesFolder;
};
