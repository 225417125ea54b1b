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

private:
    QMap<QString, QString> m_overrides;
    QString m_workingDirectory;
};
