#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// The fields of /proc/PID/stat after the process's name (which may itself
// hold spaces and parentheses): the state first, then the parent, and so on;
// none when the process is gone.
inline QList<QByteArray> procStatFields(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ');
}
