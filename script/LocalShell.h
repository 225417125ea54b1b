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

private:
    QMap<QString, QString> m_overrides;
    QString m_workingDirectory;
    std::optional<ShellIdentity> m_identity;
};
