#pragma once

#include "helper/FrameCodec.h"

#include <string>
#include <vector>

// Runs one command with /bin/sh -c, standard input from /dev/null, and
// collects its exit status and both outputs whole. Used by the privileged
// helper and, in the calling process, for commands that need no privileges.
struct ShellLaunch
{
    std::string command;
    // "NAME=value" entries; when unset the child inherits this process's environment.
    bool replaceEnvironment = false;
    std::vector<std::string> environment;
    // Empty: the child keeps this process's working directory.
    std::string workingDirectory;
};

struct ShellRun
{
    bool started = false;
    std::string problem; // why the shell could not be started
    frame::CommandResult result;
};

// The status is the shell's exit status, or 128 plus the signal that ended it,
// as the shell itself reports it.
ShellRun runShellCommand(const ShellLaunch &launch);
