#pragma once

#include "helper/InstallOperations.h"
#include "helper/ReceiptJournal.h"

#include <optional>
#include <string>

// The privileged helper's work, apart from its entry point so tests can reach
// the pieces: who started it, which bundle it serves, and the request loop.
//
// The helper is no shell: each command frame must be one of the install's
// operations (helper/InstallCommand.h), whose sources lie in the bundle's
// Products folder and whose targets lie in the install locations
// (helper/SystemLocations.h). Anything else is refused and ends the session.
namespace helper {

// The login name of the user whose numeric id `uidText` (PKEXEC_UID) gives;
// nothing when the text is not a plain decimal number naming a known user.
std::optional<std::string> invokingUser(const char *uidText);

// The Products folder of the bundle this helper belongs to, resolved:
// `executable`'s folder joined with the bundle's relative path. Empty when it
// does not exist.
std::string bundleProducts(const std::string &executable);

// The folders an install may write to, with `products` as the only source.
InstallRoots systemRoots(const std::string &products);

// Greets, then performs each command frame read from `in` through `journal`
// (which keeps the receipts) and answers it with
// a result frame on `out` (status 0, or 1 with the reason as standard error),
// until `in` closes. A malformed frame or a command that is not an install
// operation gets an error frame and ends the loop. Returns the exit status.
int serve(int in, int out, ReceiptJournal &journal);

// Writes an error frame, and the same message to standard error for a person
// who started the helper by hand.
void refuse(int out, const std::string &message);

// The helper's entry: `quorvantic-helper --products FOLDER`. Refuses unless it
// runs as root for a known PKEXEC_UID and FOLDER is its own bundle's Products.
int run(int argc, char **argv);

} // namespace helper
