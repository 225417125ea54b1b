#pragma once

#include "helper/FrameCodec.h"
#include "script/CommandShell.h"

#include <QElapsedTimer>
#include <QStringList>

#include <memory>
#include <string>

class QProcess;

// Runs the administrator commands of one script run through one privileged
// helper: the first command starts `launcher + helper` (normally pkexec, so
// the user authenticates once), the others reuse it over its standard input
// and output; destroying the session closes the helper's input, which ends it.
//
// Errors it raises, as a script sees them:
//   -128   "User canceled."  (the launcher exited 126 before the helper greeted)
//   -60005 "The administrator authorisation was refused."  (exit status 127),
//          followed by ": " and the launcher's own message when it gave one
//   -60005 "The administrator authorisation could not be asked for: polkit is
//          not running or cannot be reached (MESSAGE)"  (127, pkexec's own check failed)
//   -60008 "Administrator commands need pkexec, which is not installed
//          (install the package pkexec)."  (no launcher)
//   -60008 "The privileged helper is missing: PATH."
//   -60008 "The privileged helper could not be started: REASON."
//   -60008 "The privileged helper refused: MESSAGE"  (its error frame)
//   -60008 "The privileged helper ended unexpectedly."
//   -60008 "The privileged helper answered out of turn."
//   -60008 "The command is too long for the privileged helper."
//   -60008 "The command holds a NUL character."
// Once the helper could not be started, every later command of the run gets
// the same error: the user is asked at most once per run.
class PrivilegedSession : public CommandShell
{
public:
    PrivilegedSession(QStringList launcher, QString helperPath);
    ~PrivilegedSession() override;
    ShellOutcome run(const QString &command) override;
    // Tells the helper to keep or undo the run's changes and waits for it.
    ShellEnding finish(bool keep) override;
    // A command still running this long after the run's stop flag rose is
    // ended: the helper's input is closed, and it stops between two files.
    void setStopFlag(std::shared_ptr<const std::atomic<bool>> flag) override
    {
        m_stop = std::move(flag);
    }
    void setStopGrace(int milliseconds) { m_stopGraceMs = milliseconds; }

    // The first of /usr/bin/pkexec and /bin/pkexec that exists, or an empty launcher.
    static QStringList pkexecLauncher();
    // quorvantic-helper in ../libexec/quorvantic-installer beside this executable.
    static QString defaultHelperPath();
    // What a script run uses for administrator commands on this machine: the
    // install operations in this process when it is root, else a session.
    static std::unique_ptr<CommandShell> forThisProcess();

private:
    std::optional<ScriptError> start();
    void stopLongCommand();
    // Reads until one whole frame arrived; false when the helper ended first.
    bool readFrame(std::string &type, std::string &payload);
    // Sends one frame and reads the answer, notices aside.
    bool exchange(frame::Type type, const QByteArray &payload, std::string &answerType,
                  std::string &answer, QString &notice);
    ScriptError failure(qint64 number, const QString &message);

    QStringList m_launcher;
    QString m_helperPath;
    std::unique_ptr<QProcess> m_process;
    std::string m_buffer;
    std::optional<ScriptError> m_broken;
    std::shared_ptr<const std::atomic<bool>> m_stop;
    QElapsedTimer m_stopSeen;
    bool m_inputClosed = false;
    bool m_greeted = false;
    int m_stopGraceMs = 5000;
};
