// The user's state as root sees it: whose folder it is, as whom the log and
// the receipts are written there, and what is refused; and a receipt that
// cannot be written, which must say what it leaves unrecorded.
#include "../common/ScopedVariable.h"
#include "engine/ReceiptBook.h"
#include "engine/RunLog.h"
#include "engine/StateFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

uid_t ownerOf(const QString &path)
{
    struct stat status = {};
    return ::lstat(encoded(path).constData(), &status) == 0 ? status.st_uid : uid_t(-1);
}

mode_t modeOf(const QString &path)
{
    struct stat status = {};
    return ::lstat(encoded(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// A temporary folder others may pass, with a user's folder "home" in it
// (owned by `user`, 0700), a root folder "root" holding 60 old files named
// like logs, and a root folder "gate" (0711) holding "gate/state", the user's.
struct Sandbox
{
    QTemporaryDir dir;
    UserAccount user;

    QString path(const QString &relative) const { return dir.filePath(relative); }

    bool make(const UserAccount &account)
    {
        user = account;
        const auto mkdirOwned = [this](const QString &relative, mode_t mode, uid_t uid) {
            const QByteArray at = encoded(path(relative));
            return ::mkdir(at.constData(), mode) == 0 && ::chmod(at.constData(), mode) == 0 &&
                   ::chown(at.constData(), uid, uid == 0 ? 0 : user.gid) == 0;
        };
        if (!dir.isValid() || ::chmod(encoded(dir.path()).constData(), 0755) != 0 ||
            !mkdirOwned(QStringLiteral("home"), 0700, user.uid) ||
            !mkdirOwned(QStringLiteral("root"), 0755, 0) ||
            !mkdirOwned(QStringLiteral("gate"), 0711, 0) ||
            !mkdirOwned(QStringLiteral("gate/state"), 0700, user.uid))
            return false;
        for (int n = 1; n <= 60; ++n) {
            QFile file(path(QStringLiteral("root/install-2026-01-01T00-00-00.000-%1.log").arg(n)));
            if (!file.open(QIODevice::WriteOnly) || file.write("root's\n") != 7 ||
                !file.setFileTime(QDateTime(QDate(2026, 1, 1), QTime(0, 0)),
                                  QFileDevice::FileModificationTime))
                return false;
        }
        return true;
    }

    // A link the user made at `relative` (under home), pointing at `target`,
    // with the user's folders above it.
    bool userLink(const QString &relative, const QString &target) const
    {
        const QStringList parts = relative.split(QLatin1Char('/'));
        QString folder;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            folder += (i ? QStringLiteral("/") : QString()) + parts[i];
            const QByteArray at = encoded(path(folder));
            if (::mkdir(at.constData(), 0700) == 0 &&
                ::chown(at.constData(), user.uid, user.gid) != 0)
                return false;
        }
        const QByteArray at = encoded(path(relative));
        return ::symlink(encoded(target).constData(), at.constData()) == 0 &&
               ::lchown(at.constData(), user.uid, user.gid) == 0;
    }

    QStringList rootFiles() const
    {
        return QDir(path(QStringLiteral("root"))).entryList(QDir::Files | QDir::NoDotAndDotDot);
    }

    // Everything under `relative` that root owns.
    QStringList rootOwnedUnder(const QString &relative) const
    {
        QStringList found;
        QDirIterator walk(path(relative), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                          QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QString at = walk.next();
            if (ownerOf(at) == 0)
                found << at;
        }
        return found;
    }
};

std::optional<UserAccount> testUser()
{
    std::optional<UserAccount> account = accountOf(65534);
    return account && account->uid != 0 ? account : std::nullopt;
}

} // namespace

class TestStateFolder : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (::geteuid() != 0)
            QSKIP("acting as a folder's owner for another user needs root");
        m_user = testUser();
        if (!m_user)
            QSKIP("no account \"nobody\" here to act as");
    }

    // What root decides for the state folder the environment names.
    void decision_data()
    {
        QTest::addColumn<QString>("stateHome"); // under the sandbox
        QTest::addColumn<QString>("link");      // a link the user makes first, to root's folder
        QTest::addColumn<bool>("asUser");
        QTest::addColumn<bool>("rootsOwn"); // root's own state folder instead
        QTest::newRow("the user's, not there yet") << "home/.local/state"
                                                   << "" << true << false;
        QTest::newRow("the user's link on the way") << "home/.local/state"
                                                    << "home/.local/state" << true << false;
        QTest::newRow("root's, outside root's home") << "root"
                                                     << "" << false << true;
        QTest::newRow("root's, not there yet") << "root/more"
                                               << "" << false << true;
        QTest::newRow("search only on the way") << "gate/state"
                                                << "" << true << false;
    }
    void decision()
    {
        QFETCH(QString, stateHome);
        QFETCH(QString, link);
        QFETCH(bool, asUser);
        QFETCH(bool, rootsOwn);
        Sandbox box;
        QVERIFY(box.make(*m_user));
        if (!link.isEmpty())
            QVERIFY(box.userLink(link, box.path(QStringLiteral("root"))));
        const ScopedVariable state("XDG_STATE_HOME", encoded(box.path(stateHome)));
        const StateFolder folder = StateFolder::ofEnvironment();
        QCOMPARE(folder.problem(), QString());
        QCOMPARE(folder.owner(), asUser ? m_user->uid : uid_t(0));
        QVERIFY(!folder.followsOwnerLinks());
        const std::optional<UserAccount> root = accountOf(0);
        QVERIFY(root);
        QCOMPARE(folder.path(),
                 rootsOwn ? root->home + QStringLiteral("/.local/state/quorvantic-installer")
                          : box.path(stateHome) + QStringLiteral("/quorvantic-installer"));
        // A folder the program names itself stays as given.
        QCOMPARE(StateFolder::at(box.path(QStringLiteral("root"))).path(),
                 box.path(QStringLiteral("root")));
    }

    // The log is the user's, made as the user, and nothing of root's is touched.
    void logAsTheOwner_data()
    {
        QTest::addColumn<QString>("folder"); // under the sandbox
        QTest::addColumn<QString>("link");   // a link the user made there, to root's folder
        QTest::addColumn<bool>("written");
        QTest::newRow("a home without ~/.local") << "home/.local/state/quorvantic-installer"
                                                 << "" << true;
        QTest::newRow("the folder a link to root's")
            << "home/.local/state/quorvantic-installer"
            << "home/.local/state/quorvantic-installer" << false;
        QTest::newRow("~/.local/state a link to root's") << "home/.local/state/quorvantic-installer"
                                                         << "home/.local/state" << false;
        QTest::newRow("search only on the way") << "gate/state/quorvantic-installer"
                                                << "" << true;
    }
    void logAsTheOwner()
    {
        QFETCH(QString, folder);
        QFETCH(QString, link);
        QFETCH(bool, written);
        Sandbox box;
        QVERIFY(box.make(*m_user));
        if (!link.isEmpty())
            QVERIFY(box.userLink(link, box.path(QStringLiteral("root"))));
        const QStringList rootFiles = box.rootFiles();
        QCOMPARE(rootFiles.size(), 60);

        const RunLog log(QStringLiteral("s"), StateFolder::at(box.path(folder)));
        QCOMPARE(!log.path().isEmpty(), written);
        if (written) {
            QCOMPARE(ownerOf(log.path()), m_user->uid);
            QCOMPARE(QFileInfo(log.path()).path(), box.path(folder));
            QCOMPARE(modeOf(box.path(folder)), mode_t(0700));
        } else {
            QVERIFY2(log.warning().contains(QStringLiteral("refusing to follow a link")),
                     qPrintable(log.warning()));
        }
        QCOMPARE(box.rootFiles(), rootFiles);
        QCOMPARE(box.rootOwnedUnder(QStringLiteral("home")), QStringList());
        QCOMPARE(box.rootOwnedUnder(QStringLiteral("gate/state")), QStringList());
    }

    // The receipts are read and written as the user; what cannot be written
    // is a failure that names each path left unrecorded.
    void receiptsAsTheOwner()
    {
        Sandbox box;
        QVERIFY(box.make(*m_user));
        const QString data = box.path(QStringLiteral("home/data"));
        const QString receipts = box.path(QStringLiteral("home/state/receipts"));
        ReceiptBook book;
        book.setFolders(box.path(QStringLiteral("root")), receipts);

        uid_t madeBy = 0;
        QString problem;
        QVERIFY2(book.withUserStore(
                     [&madeBy](const helper::ReceiptStore &) { madeBy = ::geteuid(); }, problem),
                 qPrintable(problem));
        QCOMPARE(madeBy, m_user->uid);

        const QString element = data + QStringLiteral("/Velamorph 4 Lightroom");
        UserSideRecord run(
            {{QStringLiteral("Velamorph 4 Lightroom"), QStringLiteral("Velamorph 4")}});
        run.started(QStringLiteral("mkdir -p \"%1/\"").arg(element));
        QVERIFY(QDir().mkpath(element));
        CommandReport done;
        done.number = 1;
        run.finished(done);
        QCOMPARE(run.made().size(), std::size_t(1));

        QVERIFY2(book.record(run, m_user->name, QStringLiteral("/bundle"), problem),
                 qPrintable(problem));
        const QString receipt = receipts + QStringLiteral("/Velamorph 4.receipt");
        QCOMPARE(ownerOf(receipt), m_user->uid);
        QCOMPARE(ownerOf(receipts), m_user->uid);
        QCOMPARE(box.rootOwnedUnder(QStringLiteral("home/state")), QStringList());

        // The user made the folder read-only: root may not write there for them.
        QVERIFY(::chmod(encoded(receipts).constData(), 0500) == 0);
        QVERIFY(!book.record(run, m_user->name, QStringLiteral("/bundle"), problem));
        QVERIFY2(problem.contains(QStringLiteral("Velamorph 4 was installed but could not be "
                                                 "recorded")),
                 qPrintable(problem));
        QVERIFY2(problem.contains(QStringLiteral("Permission denied")), qPrintable(problem));
        QVERIFY2(problem.contains(QStringLiteral("\n    ") + element), qPrintable(problem));
    }

private:
    std::optional<UserAccount> m_user;
};

QTEST_GUILESS_MAIN(TestStateFolder)
#include "tst_statefolder.moc"
