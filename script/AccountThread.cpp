#include "script/AccountThread.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The calls that change only the calling thread, with 32-bit ids where the
// architecture has an older 16-bit form under the plain name.
#ifdef SYS_setgroups32
constexpr long setGroupsCall = SYS_setgroups32;
constexpr long setGidsCall = SYS_setresgid32;
constexpr long setUidsCall = SYS_setresuid32;
#else
constexpr long setGroupsCall = SYS_setgroups;
constexpr long setGidsCall = SYS_setresgid;
constexpr long setUidsCall = SYS_setresuid;
#endif

// Groups first and the uid last: each later step needs the privilege the
// earlier ones still have.
int becomeAccount(const UserAccount &account, const char *&step)
{
    const std::vector<gid_t> groups(account.groups.begin(), account.groups.end());
    step = "the groups";
    if (::syscall(setGroupsCall, groups.size(), groups.data()) != 0)
        return errno;
    step = "the group id";
    if (::syscall(setGidsCall, account.gid, account.gid, account.gid) != 0)
        return errno;
    step = "the user id";
    if (::syscall(setUidsCall, account.uid, account.uid, account.uid) != 0)
        return errno;
    return 0;
}

QString reason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

} // namespace

bool runAsAccount(const UserAccount &account, const std::function<void()> &work, QString &problem)
{
    if (::geteuid() == account.uid && ::getuid() == account.uid && ::getegid() == account.gid) {
        work();
        return true;
    }
    int error = 0;
    const char *step = "";
    try {
        std::thread thread([&] {
            error = becomeAccount(account, step);
            if (error == 0)
                work();
        });
        thread.join();
    } catch (const std::system_error &failure) {
        problem = QStringLiteral("No thread could be started to act as %1: %2")
                      .arg(account.name, QString::fromLocal8Bit(failure.what()));
        return false;
    }
    if (error == 0)
        return true;
    problem = QStringLiteral("This process cannot act as %1 (uid %2): setting %3 failed: %4")
                  .arg(account.name)
                  .arg(account.uid)
                  .arg(QLatin1String(step), reason(error));
    return false;
}
