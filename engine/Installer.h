#pragma once

#include "core/AppSettings.h"
#include "engine/ReceiptBook.h"
#include "engine/RunLog.h"
#include "engine/ScriptOutcome.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

// The installer's operations on its state object: finding the products in
// the bundle, composing the install script, running it (and the file-manager
// probe) and applying their answers. AppSettings holds the published state and
// the page flow; everything that reads the disk or runs a script is here.
// Lives on the main thread, like the state it writes; the state must outlive it.
class Run;

class Installer : public QObject
{
    Q_OBJECT

public:
    explicit Installer(AppSettings &settings, QObject *parent = nullptr);

    AppSettings &settings() const { return m_settings; }

    // The resources folder that holds "Products" and the licence. Defaults to
    // the bundle's, found from the executable's location.
    QString resourcesFolder() const;
    void setResourcesFolder(const QString &folder) { m_resourcesFolder = folder; }

    // Where scripts run: the one put in, or else the project's interpreter
    // with a privileged session. Never empty.
    ScriptExecutor scriptExecutor() const;
    void setScriptExecutor(ScriptExecutor executor) { m_scriptExecutor = std::move(executor); }
    void setScriptExecutor(PlainScriptExecutor executor);

    // While a script runs: whether one does, and asking it to stop after the
    // command under way. A stopped install is undone and ends as a failure
    // answering "Installation canceled. Nothing was changed.".
    bool isRunning() const { return m_running; }
    // Whether the run under way is an uninstall.
    bool isUninstalling() const { return m_uninstalling; }
    // Whether the last install or uninstall was undone, all of it (it failed
    // or was stopped, and nothing it changed remains).
    bool lastRunUndone() const { return m_lastRunUndone; }
    // "Installing Calmfield 6 (step 7 of 55)", or without the name before the
    // first element's command: how the window and the command line say it.
    static QString progressLine(int step, int total, const QString &product);

    // Each install writes a log of its own (engine/RunLog.h) in this folder;
    // empty means the default. The last one's file, empty when none could be
    // written (the install goes on; the reason goes to standard error).
    void setLogFolder(const QString &folder) { m_logFolder = folder; }
    QString lastLogPath() const { return m_lastLogPath; }
    void requestStop();
    // The flag a run reads; a front end may share one of its own (a signal
    // handler's). Runs clear only the flag they made themselves.
    void setStopFlag(std::shared_ptr<std::atomic<bool>> flag);
    // Which input the wait lets through (the Cancel button); all other input
    // to widgets made during a run is dropped.
    void setInputAllowedDuringRun(std::function<bool(QObject *)> allowed)
    {
        m_inputAllowed = std::move(allowed);
    }

    // Catalogue: the products found in the resources folder, all selected.
    // A folder that cannot be listed prints "Fail__ " and gives an empty map.
    ProductMap productsToInstall() const;
    // What the application does once at start: the products emptied, then
    // filled from the catalogue (two writes, as a window would see them).
    void fillProducts();

    // Whether the licence the user agreed to could be read at all; when it
    // could not, nothing is installed (a front end that shows it says so).
    void setLicenseReadable(bool readable) { m_licenseReadable = readable; }

    // Why nothing can be installed from the resources folder as it is (none
    // found, no readable "Products" folder, no product in it, a name that is
    // not UTF-8); empty when the bundle can be installed from.
    QString bundleProblem() const;

    // Why installSelectedProducts() would run nothing for the selected
    // products (the failure it would show); empty when they can be installed.
    QString refusal() const { return plan(false).refusal; }

    // The direct sub-folders of every selected product, in product order.
    QStringList elementsToCopy() const;
    // The install script for the selected products, composed but not run.
    QString composeInstallScript() const;
    // Composes, prints "SCRIPT -- " with it, and runs it. When there is nothing
    // to install, or a name that could not be installed, nothing runs and no
    // authentication is asked for: the summary shows the failure and why. A
    // product that cannot be listed ("Fail__ ...") leaves the others to
    // install, and the run then ends as a failure naming it.
    void installSelectedProducts();
    // Runs `script` and returns once it has run; its answer is applied by a
    // handler posted to this thread after the return: "User canceled."
    // changes nothing, "Ok" moves to the summary, anything else is a failure
    // shown there. While it waits, this thread keeps painting and running
    // timers and queued calls (progress), but the state does not change and
    // user input is dropped.
    void performScript(const QString &script);

    // Asks whether the file manager may be automated; installs when it may,
    // raises the access alert when it may not.
    void checkAccess();

    // What is installed, from the receipts every run keeps up to date.
    ReceiptBook &receipts() { return m_receipts; }
    // Removes what the receipts of `products` list (engine/UninstallComposer.h)
    // the way an install runs: one authentication, a log of its own, the live
    // wait. Ends with uninstallFinished; the install state is left alone.
    void uninstall(const QList<InstalledProduct> &products, bool force);

    enum class RunEnd
    {
        completed,
        failed,
        canceled,
    };

signals:
    // Emitted on the main thread right before and right after it waits for a
    // script run.
    void scriptWaitStarted();
    void scriptWaitFinished();
    // As each command of the install starts: its number, the total, and the
    // product it belongs to (empty before the first element's command).
    void progressChanged(int step, int total, const QString &product);
    // An uninstall ended: the script's answer when it failed, and what was
    // kept because it changed since it was installed.
    void uninstallFinished(Installer::RunEnd end, const QString &message, const QStringList &kept);

private:
    // What the selected products hold, and what keeps them from installing.
    struct Plan
    {
        QStringList elements;
        QStringList unreadable; // one line per product that could not be listed
        QString refusal;        // why nothing may run at all
    };
    // `report`: a product that cannot be listed is also printed ("Fail__ ").
    Plan plan(bool report = true) const;
    // The summary's failure without running anything.
    void failWithoutRunning(const QString &message);
    // What a killed run of the system part left is undone before anything is
    // composed from the receipts: as root here, else through the helper, in a
    // session of its own. Empty, or why it could not be undone.
    QString undoInterruptedRun();

    // The one way a script runs: a job on the global pool runs it while this
    // thread waits; the job releases the wait on every path before it posts
    // `handler` with the outcome here, so the wait cannot deadlock. `run`
    // (null for the probe) gives the hooks and is kept until the handler ran.
    void runAndWait(const QString &script, const std::shared_ptr<Run> &run,
                    std::function<void(const ScriptOutcome &)> handler,
                    const QStringList &forget = {});
    // Adds to the install script the removal of what the products' receipts
    // list and this install will not make again (an element a newer bundle
    // dropped), so an upgrade leaves nothing stale behind.
    QString withStaleRemoved(const QString &script, const QStringList &elements);
    // Records the run's user side as it settles its transaction, inside it
    // (when kept), and the user part of the `forget` products' receipts
    // removed; what could not be recorded goes to the run.
    SettleHook userReceiptsHook(const std::shared_ptr<Run> &run, const QStringList &forget) const;
    void startLog(const QString &script);
    // The user's store made ready and locked for the run that follows.
    std::optional<helper::StoreLock> holdUserStore(QString &problem);

    AppSettings &m_settings;
    ScriptExecutor m_scriptExecutor;
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    bool m_ownStop = true;
    std::function<bool(QObject *)> m_inputAllowed;
    bool m_running = false;
    bool m_uninstalling = false;
    // Element name -> product name, for the progress line of the run.
    QList<QPair<QString, QString>> m_elementProducts;
    bool m_lastRunUndone = false;
    QString m_logFolder;
    bool m_licenseReadable = true;
    QString m_lastLogPath;
    std::shared_ptr<RunLog> m_log; // the install under way's, between start and answer
    QString m_resourcesFolder;
    ReceiptBook m_receipts;
    // Products of the run in progress that could not be listed.
    QStringList m_unreadable;
    // While a run's handler runs: what of its user side was not recorded.
    QString m_unrecorded;
    // The user's receipt store while a run holds it locked, where its user
    // side keeps its journal; and what getting it ready found to say first.
    QString m_heldUserStore;
    QString m_storeNotice;
};
