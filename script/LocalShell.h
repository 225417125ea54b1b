#pragma once

#include "script/CommandShell.h"

#include <QMap>

// Runs commands in the calling process's own user: /bin/sh -c, standard
// input from /dev/null, this process's environment with `overrides` laid
// over it, in `workingDirectory` (empty: this process's).
class LocalShell : public CommandShell
{
public:
    explicit LocalShell(QMap<QString, QString> overrides = {}, QString workingDirectory = {});
    ShellOutcome run(const QString &command) override;

    // For a process that already runs as root: administrator commands run
    // here directly, from "/", with USER and LOGNAME naming this process's
    // user when its environment lacks them (the install script needs $USER).
    static std::unique_ptr<CommandShell> forAdministrator();

private:
    QMap<QString, QString> m_overrides;
    QString m_workingDirectory;
};
