#pragma once

#include "engine/StateFolder.h"
#include "script/Evaluator.h"

#include <QDateTime>
#include <QMutex>
#include <QString>

// A plain-text log of one install run: the script, each command as it ran and
// the run's answer, in a file of its own named by the run's start time. Starting
// a log removes logs of this kind older than 30 days or beyond the newest 20:
// only regular files named as it names them, found and removed through the
// folder's descriptor.
//
// A folder that cannot be written never stops the install: the log then does
// nothing, path() is empty and warning() says why. A write that fails later
// stops the logging too and is told by warning(), while path() names the file.
//
// command() may be called on a worker thread while the owner lives on another,
// but calls on one object must not overlap; every call is serialised anyway.
class RunLog
{
public:
    // Starts a log of one run in `folder` (created if missing) as that folder's
    // owner (engine/StateFolder.h): writes the script, prunes old logs. `now`
    // is the run's start (injectable for tests).
    explicit RunLog(const QString &script, const StateFolder &folder = StateFolder::ofEnvironment(),
                    QDateTime now = QDateTime::currentDateTime());
    ~RunLog(); // closes the file
    RunLog(const RunLog &) = delete;
    RunLog &operator=(const RunLog &) = delete;

    // Appends one command, written through at once so a crash keeps what ran.
    void command(const CommandReport &report);
    // Appends the answer and closes; later calls do nothing.
    void finish(const QString &answer);

    QString path() const;    // the file, empty when none could be written
    QString warning() const; // why nothing (more) is written, empty otherwise

private:
    void start(const StateFolder &folder, const QString &script);
    bool create(int folderFd, const QString &folder);
    void prune(int folderFd) const;
    void write(const QString &text);
    void close();

    mutable QMutex m_mutex;
    QDateTime m_start;
    QString m_path;
    QString m_warning;
    int m_fd = -1;
    bool m_commandsBegun = false;
};
