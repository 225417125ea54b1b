#pragma once

// The installer's command-line front end, for administrators who deploy
// without a window. Runs when the installer is given any argument; returns
// the process's exit status:
//   0 done, 1 installation failed, 2 authentication dismissed,
//   3 --unattended without --accept-license, 64 bad usage or a bundle that
//   cannot be installed from, 130 and 143 interrupted by SIGINT and SIGTERM.
class CommandLine
{
public:
    enum ExitStatus
    {
        success = 0,
        installationFailed = 1,
        installationCanceled = 2,
        licenseNotAccepted = 3,
        usageError = 64,
    };

    static int run(int argc, char *argv[]);
};
