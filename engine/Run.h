#pragma once

#include "engine/RunLog.h"
#include "engine/ScriptOutcome.h"
#include "engine/UserSideRecord.h"

#include <QList>
#include <QPair>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// One install or uninstall while it runs and as it ends: its log, the hooks
// the script runner calls (progress, the step count, what the user's side
// made), the stop flag it reads, whether its changes are kept, and the answer
// it ends with. The changes are one transaction: they are kept only when the
// script answered "Ok" and nobody asked it to stop; otherwise they are undone,
// and the answer says so.
class Run
{
public:
    enum class Kind
    {
        install,
        uninstall,
    };
    using Progress = std::function<void(int step, int total, const QString &product)>;

    // `elementProducts`: element name -> product name, for progress and receipts.
    Run(Kind kind, int total, std::shared_ptr<RunLog> log,
        QList<QPair<QString, QString>> elementProducts, std::shared_ptr<std::atomic<bool>> stop);

    // The runner's hooks; `progress` is called on the running thread as each
    // command starts.
    ScriptHooks hooks(Progress progress);

    const std::shared_ptr<UserSideRecord> &userSide() const { return m_userSide; }
    // The user's side settled its transaction, its receipts with it: what
    // could not be recorded (empty: all was, or the changes were undone).
    // Called on the running thread, read once the run has ended.
    void settleUserSide(QString unrecorded);
    bool userSideSettled() const { return m_userSettled; }
    const QString &userSideUnrecorded() const { return m_userUnrecorded; }
    const std::shared_ptr<RunLog> &log() const { return m_log; }
    int total() const { return m_total; }
    int stepsDone() const { return m_done->load(); }
    bool stopRequested() const { return m_stop && m_stop->load(); }

    // Whether the outcome's changes were undone, all of them.
    static bool undone(const ScriptOutcome &outcome);
    // What the run answers: "Ok" only when its changes were kept; a stopped
    // run "Installation canceled. Nothing was changed."; a failure its own
    // error, then what became of its changes. Notices come first.
    QString answer(const ScriptOutcome &outcome) const;

private:
    QString productOf(const QString &command);
    QString stoppedAnswer(bool undone) const;

    Kind m_kind;
    int m_total;
    std::shared_ptr<RunLog> m_log;
    QList<QPair<QString, QString>> m_elementProducts;
    QString m_currentProduct; // touched on the running thread only
    std::shared_ptr<std::atomic<bool>> m_stop;
    std::shared_ptr<std::atomic<int>> m_done = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<UserSideRecord> m_userSide;
    bool m_userSettled = false;
    QString m_userUnrecorded;
};
