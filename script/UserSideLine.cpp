#include "script/UserSideLine.h"

#include "helper/InstallCommand.h"

namespace {

using helper::OperationKind;
using Kind = UserSideLine::Kind;

constexpr std::string_view giveToUserForm = "chown -R $USER ";

std::string withoutSlash(std::string path)
{
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The components of `path` when it lies strictly inside `folder`.
bool inside(const std::string &path, bool trailingSlash, const helper::PathComponents &folder,
            helper::PathComponents &components)
{
    helper::SplitPath split = helper::splitPath(path, trailingSlash);
    if (!split.ok || !helper::startsWith(split.components, folder, true))
        return false;
    components = std::move(split.components);
    return true;
}

// `path` is the data folder or one of the folders above it (not "/").
bool holding(const std::string &path, const helper::PathComponents &folder,
             helper::PathComponents &components)
{
    helper::SplitPath split = helper::splitPath(path, false);
    if (!split.ok || split.components.empty() ||
        !helper::startsWith(folder, split.components, false))
        return false;
    components = std::move(split.components);
    return true;
}

std::optional<UserSideLine> giveToUser(std::string_view command,
                                       const helper::PathComponents &dataFolder)
{
    std::string operand;
    std::string problem;
    UserSideLine line;
    line.kind = Kind::giveToUser;
    if (!helper::parseQuotedOperand(command.substr(giveToUserForm.size()), operand, problem) ||
        !inside(operand, true, dataFolder, line.path))
        return std::nullopt;
    line.shown = withoutSlash(operand);
    return line;
}

// The link's folder must be written with its "/": the link then goes inside
// it, named after the target, as ln places it.
bool linkInto(const helper::Operation &operation, const helper::PathComponents &dataFolder,
              UserSideLine &line)
{
    const helper::SplitPath target = helper::splitPath(operation.first, false);
    if (operation.second.size() < 2 || operation.second.back() != '/' || !target.ok ||
        target.components.empty() || !inside(operation.second, true, dataFolder, line.path))
        return false;
    line.path.push_back(target.components.back());
    line.shown = operation.second + target.components.back();
    line.text = operation.first;
    return true;
}

bool copyContents(const helper::Operation &operation, const helper::PathComponents &dataFolder,
                  const helper::PathComponents &appFolder, UserSideLine &line)
{
    const std::string &source = operation.first;
    if (source.size() < 3 || source.compare(source.size() - 2, 2, "/.") != 0 ||
        !inside(source.substr(0, source.size() - 2), false, appFolder, line.source) ||
        !inside(operation.second, true, dataFolder, line.path))
        return false;
    line.text = source;
    line.shown = withoutSlash(operation.second);
    return true;
}

} // namespace

std::optional<UserSideLine> readUserSideLine(std::string_view command,
                                             const helper::PathComponents &dataFolder,
                                             const helper::PathComponents &appFolder)
{
    if (command.substr(0, giveToUserForm.size()) == giveToUserForm)
        return giveToUser(command, dataFolder);
    const helper::ParsedCommand parsed = helper::parseInstallCommand(command);
    if (!parsed.ok)
        return std::nullopt;
    const helper::Operation &operation = parsed.operation;
    UserSideLine line;
    bool read = false;
    switch (operation.kind) {
    case OperationKind::makeFolder:
        line.kind = Kind::makeFolder;
        read = inside(operation.first, true, dataFolder, line.path);
        line.shown = withoutSlash(operation.first);
        break;
    case OperationKind::copyElement:
        line.kind = Kind::copyContents;
        read = copyContents(operation, dataFolder, appFolder, line);
        break;
    case OperationKind::link:
        line.kind = Kind::link;
        read = linkInto(operation, dataFolder, line);
        break;
    case OperationKind::writeText:
        line.kind = Kind::writeText;
        read = inside(operation.second, false, dataFolder, line.path);
        line.text = operation.first;
        line.shown = operation.second;
        break;
    case OperationKind::removeRecorded:
        line.kind = Kind::removeFile;
        read = inside(operation.first, false, dataFolder, line.path);
        line.shown = operation.first;
        break;
    case OperationKind::removeFolder:
        // A run may have made the data folder and those above it too: they go
        // once empty, as their owner, like those inside it.
        line.kind = Kind::removeEmptyFolder;
        read = inside(operation.first, false, dataFolder, line.path) ||
               holding(operation.first, dataFolder, line.path);
        line.shown = operation.first;
        break;
    case OperationKind::remove: // a whole tree is never removed in the user's folder
    case OperationKind::nothing:
        break;
    }
    if (!read)
        return std::nullopt;
    return line;
}
