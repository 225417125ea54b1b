#pragma once

#include "helper/Receipt.h"

#include <QString>

#include <optional>

// What stands at a path now, in a receipt's terms, read without following a
// link at the path itself. Reads only, so it serves the user's side of an
// install and checks made without privileges.
namespace PathState {

enum class Read
{
    found,
    missing,
    unreadable,
};

// `entry` is filled when found; a file's SHA-256 only when `digest` is set.
Read at(const QString &path, bool digest, helper::ReceiptEntry &entry);

// The folder a command's operand names: "/a/b/." and "/a/b/" both name /a/b.
QString folderNamed(QString path);

// The SHA-256 of a regular file, lower-case hexadecimal; empty when unreadable.
QString digestOf(const QString &path);

} // namespace PathState
