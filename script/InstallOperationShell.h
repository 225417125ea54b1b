#pragma once

#include "helper/InstallOperations.h"
#include "helper/ReceiptJournal.h"
#include "script/CommandShell.h"

#include <memory>

// The administrator commands of a script run in a process that is already
// root (an unattended deployment): each must be one of the install's
// operations, performed here without a shell, exactly as the privileged
// helper performs it, keeping the same receipts; anything else is refused and
// nothing runs.
class InstallOperationShell : public CommandShell
{
public:
    InstallOperationShell(helper::InstallRoots roots, std::string receiptsFolder);
    ShellOutcome run(const QString &command) override;
    ShellEnding finish(bool keep) override;

    // The install locations, with this executable's bundle as the only source.
    static std::unique_ptr<CommandShell> forThisExecutable();

private:
    helper::ReceiptJournal m_journal;
};
