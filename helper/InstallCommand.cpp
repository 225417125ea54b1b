#include "helper/InstallCommand.h"

#include <array>
#include <vector>

namespace helper {

namespace {

struct Form
{
    std::string_view program;
    // '@' stands for one double-quoted operand; everything else is literal.
    std::string_view pattern;
    std::string_view shape; // the form as a person reads it, for problems
    OperationKind kind;
};

constexpr std::array<Form, 9> forms = {{
    {"mkdir", "mkdir -p @", "mkdir -p \"DIR/\"", OperationKind::makeFolder},
    {"cp", "cp -R -f @ @", "cp -R -f \"SOURCE\" \"DEST/\"", OperationKind::copyElement},
    {"rm", "rm -R -f @", "rm -R -f \"PATH\"", OperationKind::remove},
    {"rm", "rm -f @", "rm -f \"PATH\"", OperationKind::removeRecorded},
    {"rmdir", "rmdir --ignore-fail-on-non-empty @", "rmdir --ignore-fail-on-non-empty \"DIR\"",
     OperationKind::removeFolder},
    {"ln", "ln -f -n -s @ @", "ln -f -n -s \"TARGET\" \"LINK\"", OperationKind::link},
    {"echo", "echo @ > @", "echo \"TEXT\" > \"FILE\"", OperationKind::writeText},
    {"printf", "printf '%s\\n' @ > @", "printf '%s\\n' \"TEXT\" > \"FILE\"",
     OperationKind::writeText},
    {"true", "true", "true", OperationKind::nothing},
}};

std::string column(std::size_t at)
{
    return " at column " + std::to_string(at + 1);
}

bool escapable(char c)
{
    return c == '\\' || c == '"' || c == '$' || c == '`';
}

// Reads one operand from just before its opening quote; `at` ends after the closing one.
bool readQuoted(std::string_view command, std::size_t &at, std::string &operand,
                std::string &problem)
{
    for (++at; at < command.size(); ++at) {
        const char c = command[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '$' || c == '`') {
            problem = std::string("unescaped ") + (c == '$' ? "$" : "backquote") + column(at);
            return false;
        }
        if (c == '\\') {
            if (at + 1 < command.size() && !escapable(command[at + 1])) {
                problem = "a backslash may only escape \\ \" $ or a backquote" + column(at);
                return false;
            }
            ++at;
            if (at == command.size())
                break;
        }
        operand.push_back(command[at]);
    }
    problem = "missing closing quote";
    return false;
}

ParsedCommand matchForm(const Form &form, std::string_view command)
{
    ParsedCommand parsed;
    std::vector<std::string> operands;
    std::size_t at = 0;
    for (const char expected : form.pattern) {
        const char found = at < command.size() ? command[at] : '\0';
        if (expected == '@' && found == '"') {
            operands.emplace_back();
            if (!readQuoted(command, at, operands.back(), parsed.problem))
                return parsed;
        } else if (expected != '@' && found == expected) {
            ++at;
        } else {
            parsed.problem = "expected the form " + std::string(form.shape) + column(at);
            return parsed;
        }
    }
    if (at != command.size()) {
        parsed.problem = "unexpected text after the command" + column(at);
        return parsed;
    }
    parsed.operation.kind = form.kind;
    if (!operands.empty())
        parsed.operation.first = std::move(operands[0]);
    if (operands.size() > 1)
        parsed.operation.second = std::move(operands[1]);
    parsed.ok = true;
    return parsed;
}

// `echo` may read a backslash or a leading "-" as its own syntax (dash's does),
// so the composer writes such text with printf; here it is refused with echo.
bool plainEchoText(const std::string &text, std::string &problem)
{
    if (text.find('\\') != std::string::npos)
        problem = "echo text holds a backslash; such text is written with printf";
    else if (!text.empty() && text.front() == '-')
        problem = "echo text starts with \"-\"; such text is written with printf";
    return problem.empty();
}

ParsedCommand parseChecked(std::string_view command)
{
    ParsedCommand parsed;
    if (command.find('\0') != std::string_view::npos) {
        parsed.problem = "the command holds a NUL byte";
        return parsed;
    }
    const std::string_view program = command.substr(0, command.find(' '));
    std::string problem;
    for (const Form &form : forms) {
        if (form.program != program)
            continue;
        parsed = matchForm(form, command);
        if (parsed.ok && form.program == "echo" &&
            !plainEchoText(parsed.operation.first, parsed.problem))
            parsed.ok = false;
        if (parsed.ok && form.kind == OperationKind::writeText)
            parsed.operation.first += '\n';
        if (parsed.ok)
            return parsed;
        if (problem.empty()) // a program with two forms: the first one's problem says most
            problem = parsed.problem;
    }
    parsed.problem =
        problem.empty()
            ? "not one of the install's commands (mkdir, cp, rm, rmdir, ln, echo, printf, true)"
            : problem;
    return parsed;
}

} // namespace

bool parseQuotedOperand(std::string_view text, std::string &operand, std::string &problem)
{
    std::size_t at = 0;
    if (text.empty() || text.front() != '"') {
        problem = "expected a double-quoted operand";
        return false;
    }
    if (!readQuoted(text, at, operand, problem))
        return false;
    if (at == text.size())
        return true;
    problem = "unexpected text after the operand" + column(at);
    return false;
}

ParsedCommand parseInstallCommand(std::string_view command)
{
    try {
        return parseChecked(command);
    } catch (...) { // only allocation can throw
        ParsedCommand refused;
        refused.problem = "out of memory";
        return refused;
    }
}

} // namespace helper
