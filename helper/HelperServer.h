#pragma once

#include <optional>
#include <string>
#include <vector>

// The privileged helper's work, apart from its entry point so tests can reach
// the pieces: who started it, the environment its commands get, and the
// request loop over two file descriptors.
namespace helper {

// The login name of the user whose numeric id `uidText` (PKEXEC_UID) gives;
// nothing when the text is not a plain decimal number naming a known user.
std::optional<std::string> invokingUser(const char *uidText);

// The whole environment of every command: a fixed PATH and locale, and the
// invoking user's name, which the install script's "chown -R $USER" uses.
std::vector<std::string> commandEnvironment(const std::string &user);

// Greets, then answers each command frame read from `in` with a result frame
// on `out`, until `in` closes. A malformed frame gets an error frame and ends
// the loop. Returns the process exit status.
int serve(int in, int out, const std::vector<std::string> &environment);

// Writes an error frame, and the same message to standard error for a person
// who started the helper by hand.
void refuse(int out, const std::string &message);

// The helper's entry: refuses unless it runs as root for a known PKEXEC_UID.
int run();

} // namespace helper
