#pragma once

#include "engine/Product.h"

#include <QString>
#include <QStringList>

// Which userland the shell commands are written for. The two differ in how
// `ln` is told not to follow a link to a folder (-h against -n) and in what
// `cp -R "dir/"` copies (BSD: the contents; GNU: the folder itself).
enum class ShellDialect
{
    bsd,
    gnu,
};

// Turns a list of element folders into the install script: one `do shell script`
// line per file-system change, inside an error trap that answers "Ok" or the
// first failing line's message. A pure function of its arguments. An element's
// kind (photo host, video, plug-in) and version come from its product folder's
// and its own name, never from the folders above them.
//
// Every operand is quoted for the shell and the whole command then for the
// script's string literal, so no character of a folder name is ever read as
// syntax. Lines that write only into the user's own folder run without
// administrator privileges: root must not follow links the user can plant there.
namespace InstallScriptComposer {

QString compose(const QStringList &elements, const InstallLocations &locations,
                ShellDialect dialect);

// The pieces other scripts (the uninstall's) are written with, the same way:
// an operand in the shell's double quotes; one `do shell script` line, with
// `gap` spaces before "with administrator privileges"; and the end of the
// error trap that "try\n" opened, answering "Ok".
QString shellQuoted(const QString &operand);
void appendLine(QString &script, const QString &shellCommand, bool administrator, int gap = 1);
void appendEnding(QString &script);

} // namespace InstallScriptComposer
