#pragma once

#include "helper/FrameCodec.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Runs one command with /bin/sh -c, standard input from /dev/null, and
// collects its exit status and both outputs, each up to a limit: what comes
// beyond it is read and dropped, never held. Used in the calling process for
// the commands that need no privileges.
// Whom a shell started by root runs as: the ids and the supplementary groups.
struct ShellIdentity
{
    unsigned uid = 0;
    unsigned gid = 0;
    std::vector<unsigned> groups;
};

struct ShellLaunch
{
    std::string command;
    // "NAME=value" entries; when unset the child inherits this process's environment.
    bool replaceEnvironment = false;
    std::vector<std::string> environment;
    // Empty: the child keeps this process's working directory.
    std::string workingDirectory;
    // Bytes kept of each output.
    std::size_t outputLimit = 64u << 20;
    // Set: the shell runs as this identity (the caller must be root). Unset:
    // as the caller.
    std::optional<ShellIdentity> identity;
    // Once this holds true, a shell still running `stopGraceMs` later gets
    // SIGTERM, and SIGKILL 5 s after that, its whole process group (each shell
    // runs in a group of its own, away from the terminal's signals).
    std::shared_ptr<const std::atomic<bool>> stopRequested;
    int stopGraceMs = 5000;
};

struct ShellRun
{
    bool started = false;
    std::string problem;    // why the shell could not be started
    bool truncated = false; // an output went beyond the limit
    frame::CommandResult result;
};

// The status is the shell's exit status, or 128 plus the signal that ended it,
// as the shell itself reports it.
ShellRun runShellCommand(const ShellLaunch &launch);
