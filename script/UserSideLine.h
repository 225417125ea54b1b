#pragma once

#include "helper/SafePath.h"

#include <optional>
#include <string>
#include <string_view>

// One of the script's lines for the user's data folder, read as data: the
// forms the composer writes there, each operand double-quoted, each path in
// the data folder (a copy's source in the app folder):
//
//   mkdir -p "DIR/"                        makeFolder
//   cp -R -f "SOURCE/." "DEST/"            copyContents: what SOURCE holds, into DEST
//   ln -f -n -s "TARGET" "FOLDER/"         link: FOLDER/<TARGET's last name> -> TARGET
//   echo "TEXT" > "FILE"                   writeText
//   printf '%s\n' "TEXT" > "FILE"          writeText
//   chown -R $USER "FOLDER"                giveToUser
//   rm -f "PATH"                           removeFile
//   rmdir --ignore-fail-on-non-empty "DIR" removeEmptyFolder
struct UserSideLine
{
    enum class Kind
    {
        makeFolder,
        copyContents,
        link,
        writeText,
        giveToUser,
        removeFile,
        removeEmptyFolder,
    };
    Kind kind = Kind::makeFolder;
    helper::PathComponents path; // what the line makes, writes or removes
    std::string shown;           // its path as messages name it
    // copyContents: the source folder; link: the target; writeText: the
    // text with its line feed.
    std::string text;
    helper::PathComponents source; // copyContents
};

// Nothing when the line is not one of these forms, or names a path outside
// `dataFolder` (a copy's source outside `appFolder`): such a line is no
// business of the data folder's own operations.
std::optional<UserSideLine> readUserSideLine(std::string_view command,
                                             const helper::PathComponents &dataFolder,
                                             const helper::PathComponents &appFolder);
