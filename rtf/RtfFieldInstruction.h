#pragma once

#include <QString>

// Reading the instruction text of a \field.
namespace RtfFieldInstruction {

// The target of a HYPERLINK instruction: its first argument, or "#name" for a
// \l bookmark. Empty when the instruction is something else.
QString hyperlinkTarget(const QString &instruction);

} // namespace RtfFieldInstruction
