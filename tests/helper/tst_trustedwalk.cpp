// The walk to a folder under its rules: whose links it follows, what it makes
// (and not through a link), whose folder it accepts at the end, and that the
// folder it ends on can be listed however the path was spelt by a link.
#include "helper/TrustedWalk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace helper;

namespace {

PathComponents componentsOf(const QString &path)
{
    return splitPath(QFile::encodeName(path).toStdString(), false).components;
}

} // namespace

class TestTrustedWalk : public QObject
{
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("walked"); // under the temporary folder
        QTest::addColumn<bool>("ownLinks");  // links of this process followed too
        QTest::addColumn<bool>("create");
        QTest::addColumn<int>("owner");         // -1: this process
        QTest::addColumn<QString>("problem");   // empty: opened
        QTest::addColumn<QString>("madeThere"); // what must (not) exist afterwards
        QTest::addColumn<bool>("made");
        QTest::newRow("a link of its own, allowed") << "own/x" << true << false << -1 << ""
                                                    << "" << false;
        QTest::newRow("a link of its own, not allowed")
            << "own/x" << false << false << -1 << "refusing to follow a link not owned by root"
            << "" << false;
        QTest::newRow("a link's target ending in /.") << "dot" << true << false << -1 << ""
                                                      << "" << false;
        QTest::newRow("missing folders made") << "real/a/b" << true << true << -1 << ""
                                              << "real/a/b" << true;
        QTest::newRow("nothing made through a dangling link")
            << "dangling/a" << true << true << -1 << "No such file or directory"
            << "nowhere" << false;
        QTest::newRow("another owner at the end")
            << "real" << true << false << 4242 << "does not belong to uid 4242"
            << "" << false;
    }
    void rules()
    {
        QFETCH(QString, walked);
        QFETCH(bool, ownLinks);
        QFETCH(bool, create);
        QFETCH(int, owner);
        QFETCH(QString, problem);
        QFETCH(QString, madeThere);
        QFETCH(bool, made);
        if (::geteuid() == 0 && !ownLinks && !problem.isEmpty())
            QSKIP("root's own links are always followed");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("real/x/entry")));
        QVERIFY(
            QFile::link(dir.filePath(QStringLiteral("real")), dir.filePath(QStringLiteral("own"))));
        QVERIFY(QFile::link(QStringLiteral("real/x/."), dir.filePath(QStringLiteral("dot"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")),
                            dir.filePath(QStringLiteral("dangling"))));

        WalkRules rules;
        if (ownLinks)
            rules.linkOwner = ::geteuid();
        rules.create = create;
        rules.folderMode = 0700;
        rules.owner = owner < 0 ? ::geteuid() : uid_t(owner);
        TrustedWalk walk(componentsOf(dir.filePath(walked)), rules);
        const OpenedFolder opened = walk.run();
        QVERIFY2(QString::fromStdString(opened.problem).contains(problem), opened.problem.c_str());
        QCOMPARE(opened.fd.valid(), problem.isEmpty());
        if (opened.fd.valid()) {
            // The folder it ends on is open for listing, not only for passing.
            std::vector<FolderEntry> entries;
            std::string why;
            QVERIFY2(listFolder(opened.fd.get(), "walked", entries, why), why.c_str());
        }
        if (!madeThere.isEmpty()) {
            QCOMPARE(QFileInfo::exists(dir.filePath(madeThere)), made);
            struct stat status = {};
            if (made) {
                QVERIFY(::stat(QFile::encodeName(dir.filePath(madeThere)).constData(), &status) ==
                        0);
                QCOMPARE(status.st_mode & 07777, mode_t(0700));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestTrustedWalk)
#include "tst_trustedwalk.moc"
