#pragma once

// What a root process started by pkexec must not keep from the user who
// started it: the user's resource limits (a small RLIMIT_FSIZE truncates
// root's writes), ignored or blocked signals, inherited descriptors, and the
// chance to outlive the installer that started it.
namespace helper {

// Default dispositions for every signal but SIGPIPE, which is ignored so a
// session that went away ends the helper through a failed write; an empty mask.
void resetSignals();

// Root's own limits: no bound on file size, CPU time, data or address space
// (where a hard limit cannot be lifted, the soft one is raised to it); no core
// files (a root process's memory must not land on disk).
void resetLimits();

// Closes every descriptor above standard error.
void closeInheritedDescriptors();

// Asks the kernel to kill this process when the process that started it ends.
// False when that process had already ended (this one is orphaned).
bool dieWithParent();

} // namespace helper
