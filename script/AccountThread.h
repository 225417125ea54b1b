#pragma once

#include "script/UserAccount.h"

#include <QString>

#include <functional>

// Runs `work` as `account` (its uid, gid and supplementary groups) without a
// shell, and returns once it has ended. False, with why, when those
// credentials could not be taken; `work` has then not run. A process that
// already runs as that account runs it as it is.
//
// The work runs on a thread of its own that drops its own credentials with
// the raw system calls: on Linux credentials belong to each thread, and only
// glibc's wrappers (setuid() and the like) change every thread of the process.
// With its uids no longer 0 the thread has no capabilities left and cannot take
// root back; it ends with the work, while the other threads stay root
// throughout. A thread rather than a forked child because the work is
// ordinary code (Qt strings, allocation) that a child of a threaded process may
// not run before exec, and because what it opens (a log's descriptor) is
// simply there afterwards. Descriptors opened meanwhile belong to the process.
// Taking a user's uid also leaves the process not dumpable; it stays so.
bool runAsAccount(const UserAccount &account, const std::function<void()> &work, QString &problem);
