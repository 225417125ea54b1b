#pragma once

#include <string>
#include <string_view>

// The privileged lines of an install script, read as data rather than run by a
// shell. Each is one fixed form with double-quoted operands:
//
//   mkdir -p "DIR/"                         makeFolder(DIR/)
//   cp -R -f "SOURCE" "DEST/"               copyElement(SOURCE, DEST/)
//   rm -R -f "PATH"                         remove(PATH)
//   ln -f -n -s "TARGET" "LINK"             link(TARGET, LINK)
//   echo "TEXT" > "FILE"                    writeText(TEXT + "\n", FILE)
//   printf '%s\n' "TEXT" > "FILE"           writeText(TEXT + "\n", FILE)
//
// and, to undo an install, two that act only on what a receipt records:
//
//   rm -f "PATH"                            removeRecorded(PATH)
//   rmdir --ignore-fail-on-non-empty "DIR"  removeFolder(DIR)
//
// and one that changes nothing, for a session whose only work is to undo what
// a killed run left (which every session does before its first operation):
//
//   true                                    nothing
//
// Inside the quotes only \ " $ and the backquote are escaped, each with one
// backslash, which is all the composer writes; any other shell syntax is refused.
namespace helper {

enum class OperationKind
{
    makeFolder,
    copyElement,
    remove,
    link,
    writeText,
    removeRecorded,
    removeFolder,
    nothing,
};

// The operands, unescaped and otherwise exactly as written (a trailing "/" stays).
struct Operation
{
    OperationKind kind = OperationKind::makeFolder;
    std::string first;  // DIR, SOURCE, PATH, TARGET, or the text with its line feed
    std::string second; // DEST, LINK or FILE; empty for makeFolder and remove
};

struct ParsedCommand
{
    bool ok = false;
    Operation operation;
    std::string problem; // why the text is not one of the forms, one line
};

ParsedCommand parseInstallCommand(std::string_view command);

// `text` as one double-quoted operand quoted as above, and nothing after it:
// for the lines of other programs written in the same way.
bool parseQuotedOperand(std::string_view text, std::string &operand, std::string &problem);

} // namespace helper
