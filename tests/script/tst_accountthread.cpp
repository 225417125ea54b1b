// Work done as another account on a thread of its own: it runs with that
// account's ids and groups, what it makes is that account's, it cannot use
// root's privileges, and the rest of the process stays as it was.
#include "script/AccountThread.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <latch>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// An account that is neither root nor this process: "nobody" where it exists.
std::optional<UserAccount> otherAccount()
{
    for (unsigned uid : {65534u, 1u}) {
        std::optional<UserAccount> account = accountOf(uid);
        if (account && account->uid != ::geteuid())
            return account;
    }
    return std::nullopt;
}

// The calling thread's own ids, not glibc's idea of the process's.
uid_t threadEuid()
{
    return static_cast<uid_t>(::syscall(SYS_geteuid));
}

} // namespace

class TestAccountThread : public QObject
{
    Q_OBJECT

private slots:
    void worksAsTheAccountAlone()
    {
        if (::geteuid() != 0)
            QSKIP("taking another account's credentials needs root");
        const std::optional<UserAccount> account = otherAccount();
        if (!account)
            QSKIP("no account other than root here");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray open = QFile::encodeName(dir.filePath(QStringLiteral("open")));
        const QByteArray rootOnly = QFile::encodeName(dir.filePath(QStringLiteral("root-only")));
        QVERIFY(::mkdir(open.constData(), 0777) == 0 && ::chmod(open.constData(), 0777) == 0);
        QVERIFY(::mkdir(rootOnly.constData(), 0700) == 0);
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);

        uid_t uid = 0, euid = 0, fsuid = 0;
        gid_t gid = 0;
        std::vector<gid_t> groups(64);
        int groupCount = -1;
        int madeError = -1;
        int rootOnlyError = 0;
        uid_t othersEuid = 1;
        bool othersWrote = false;
        std::latch working(1), checked(1);
        std::thread other([&] {
            working.wait();
            othersEuid = threadEuid();
            const int fd = ::open((rootOnly + "/by-another-thread").constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            othersWrote = fd >= 0;
            if (fd >= 0)
                ::close(fd);
            checked.count_down();
        });
        QString problem;
        const bool ran = runAsAccount(
            *account,
            [&] {
                uid = static_cast<uid_t>(::syscall(SYS_getuid));
                euid = threadEuid();
                fsuid = static_cast<uid_t>(::syscall(SYS_setfsuid, -1));
                gid = static_cast<gid_t>(::syscall(SYS_getegid));
                groupCount = int(::syscall(SYS_getgroups, int(groups.size()), groups.data()));
                const int made = ::open((open + "/made").constData(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                madeError = made >= 0 ? 0 : errno;
                if (made >= 0)
                    ::close(made);
                const int refused = ::open((rootOnly + "/made").constData(),
                                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                rootOnlyError = refused >= 0 ? 0 : errno;
                if (refused >= 0)
                    ::close(refused);
                // While this thread is the account, another one is still root.
                working.count_down();
                checked.wait();
            },
            problem);
        other.join();
        QVERIFY2(ran, qPrintable(problem));

        QCOMPARE(uid, account->uid);
        QCOMPARE(euid, account->uid);
        QCOMPARE(fsuid, account->uid);
        QCOMPARE(gid, account->gid);
        groups.resize(std::size_t(std::max(groupCount, 0)));
        std::vector<gid_t> expected(account->groups.begin(), account->groups.end());
        std::sort(groups.begin(), groups.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(groups, expected);

        QCOMPARE(madeError, 0);
        struct stat status = {};
        QVERIFY(::stat((open + "/made").constData(), &status) == 0);
        QCOMPARE(status.st_uid, account->uid);
        QCOMPARE(status.st_gid, account->gid);
        QCOMPARE(rootOnlyError, EACCES);
        QVERIFY(::access((rootOnly + "/made").constData(), F_OK) != 0);

        QCOMPARE(othersEuid, uid_t(0));
        QVERIFY(othersWrote);
        QCOMPARE(::geteuid(), uid_t(0));
        QCOMPARE(threadEuid(), uid_t(0));
    }

    // Without the privilege to change credentials nothing runs, and why is said.
    void refusedWithoutPrivilege()
    {
        if (::geteuid() == 0)
            QSKIP("root may take any account's credentials");
        std::optional<UserAccount> root = accountOf(0);
        if (!root)
            QSKIP("no account for root here");
        bool ran = false;
        QString problem;
        QVERIFY(!runAsAccount(
            *root, [&ran] { ran = true; }, problem));
        QVERIFY(!ran);
        QVERIFY2(problem.contains(QStringLiteral("Operation not permitted")), qPrintable(problem));
        QCOMPARE(::geteuid(), ::getuid());
    }
};

QTEST_GUILESS_MAIN(TestAccountThread)
#include "tst_accountthread.moc"
