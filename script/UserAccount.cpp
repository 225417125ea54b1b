#include "script/UserAccount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

std::optional<UserAccount> accountOf(unsigned uid)
{
    passwd entry{};
    passwd *found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_name || !*found->pw_name)
        return std::nullopt;
    UserAccount account;
    account.uid = found->pw_uid;
    account.gid = found->pw_gid;
    account.name = QString::fromLocal8Bit(found->pw_name);
    if (found->pw_dir && found->pw_dir[0] == '/')
        account.home = QDir::cleanPath(QFile::decodeName(found->pw_dir));
    int count = 32;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0)
            count = 0;
    }
    account.groups.assign(groups.begin(), groups.begin() + count);
    if (account.groups.empty())
        account.groups.push_back(account.gid);
    return account;
}

std::optional<unsigned> ownerOfNearest(const QString &path)
{
    QString at = QDir::cleanPath(path);
    for (;;) {
        struct stat status
        {};
        if (::lstat(QFile::encodeName(at).constData(), &status) == 0)
            return status.st_uid;
        if (at == QLatin1String("/") || at.isEmpty())
            return std::nullopt;
        at = QFileInfo(at).path();
    }
}
