// libFuzzer target: the helper's reading of a privileged command. Whatever it
// accepts must be exactly the command that its operation, written back in the
// composer's one form, would give: no other spelling, no extra byte, so
// nothing of the text can mean more than the operation says.
#include "helper/InstallCommand.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::string quoted(std::string_view operand)
{
    std::string out = "\"";
    for (char c : operand) {
        if (c == '\\' || c == '"' || c == '$' || c == '`')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// The forms an operation can be written in; writeText has two.
bool writtenAs(const helper::Operation &op, std::string_view command)
{
    using helper::OperationKind;
    switch (op.kind) {
    case OperationKind::makeFolder:
        return command == "mkdir -p " + quoted(op.first);
    case OperationKind::copyElement:
        return command == "cp -R -f " + quoted(op.first) + ' ' + quoted(op.second);
    case OperationKind::remove:
        return command == "rm -R -f " + quoted(op.first);
    case OperationKind::removeRecorded:
        return command == "rm -f " + quoted(op.first);
    case OperationKind::removeFolder:
        return command == "rmdir --ignore-fail-on-non-empty " + quoted(op.first);
    case OperationKind::link:
        return command == "ln -f -n -s " + quoted(op.first) + ' ' + quoted(op.second);
    case OperationKind::nothing:
        return command == "true" && op.first.empty() && op.second.empty();
    case OperationKind::writeText: {
        require(!op.first.empty() && op.first.back() == '\n');
        const std::string text = op.first.substr(0, op.first.size() - 1);
        const std::string target = " > " + quoted(op.second);
        return command == "echo " + quoted(text) + target ||
               command == "printf '%s\\n' " + quoted(text) + target;
    }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view command(reinterpret_cast<const char *>(data), size);
    const helper::ParsedCommand parsed = helper::parseInstallCommand(command);
    if (parsed.ok)
        require(writtenAs(parsed.operation, command));
    else
        require(!parsed.problem.empty());
    return 0;
}
