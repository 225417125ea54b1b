#pragma once

#include "helper/ShellCommand.h"
#include "script/CommandShell.h"

#include <QMap>

// Runs commands as the calling process's own user (or, for root, as a given
// user): /bin/sh -c, standard
// input from /dev/null, this process's environment with `overrides` laid
// over it, in `workingDirectory` (empty: this process's).
class LocalShell : public CommandShell
{
public:
    // With `identity`, the shell runs as that user (this process must be root).
    explicit LocalShell(QMap<QString, QString> overrides = {}, QString workingDirectory = {},
                        std::optional<ShellIdentity> identity = std::nullopt);
    ShellOutcome run(const QString &command) override;
    void setStopFlag(std::shared_ptr<const std::atomic<bool>> flag) override
    {
        m_stop = std::move(flag);
    }
    // How long a command may go on once the stop flag is raised (5 s).
    void setStopGrace(int milliseconds) { m_stopGraceMs = milliseconds; }

private:
    QMap<QString, QString> m_overrides;
    QString m_workingDirectory;
    std::optional<ShellIdentity> m_identity;
    std::shared_ptr<const std::atomic<bool>> m_stop;
    int m_stopGraceMs = 5000;
};
