// What the user's side records of a content copy into a folder the run also
// keeps things aside in: what the copy put there, never the run's own
// temporaries (the old file linked aside, a folder moved aside, a staging
// folder) nor anything inside them.
#include "engine/UserSideRecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

} // namespace

class TestUserSideRecord : public QObject
{
    Q_OBJECT

private slots:
    void aCopyRecordsNoTemporary_data()
    {
        QTest::addColumn<QString>("planted"); // in the destination, as a run leaves it
        QTest::addColumn<bool>("recorded");
        QTest::newRow("an old file linked aside") << ".quorvantic-undo-391-1" << false;
        QTest::newRow("in a folder moved aside") << ".quorvantic-undo-391-2/old.txt" << false;
        QTest::newRow("in a staging folder") << ".quorvantic-stage-7-1/new.txt" << false;
        QTest::newRow("a name like one, the maker's") << ".quorvantic-notes" << true;
        QTest::newRow("no count after the id") << ".quorvantic-undo-391" << true;
    }
    void aCopyRecordsNoTemporary()
    {
        QFETCH(QString, planted);
        QFETCH(bool, recorded);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString source = dir.filePath("app/Element/Presets");
        const QString destination = dir.filePath("data/LR/Presets");
        QVERIFY(write(source + "/a.lrtemplate", "new a"));
        QVERIFY(write(destination + "/a.lrtemplate", "new a"));
        QVERIFY(write(destination + '/' + planted, "kept aside"));

        UserSideRecord run({{QStringLiteral("Element"), QStringLiteral("Product")}});
        run.started(QStringLiteral("cp -R -f \"%1/.\" \"%2/\"").arg(source, destination));
        CommandReport done;
        done.number = 1;
        done.command = QStringLiteral("cp");
        run.finished(done);

        QStringList paths;
        for (const auto &[product, entries] : run.made()) {
            QCOMPARE(product, std::string("Product"));
            for (const helper::ReceiptEntry &entry : entries)
                paths << QString::fromStdString(entry.path);
        }
        QVERIFY2(paths.contains(destination + "/a.lrtemplate"), qPrintable(paths.join(' ')));
        const QString top = destination + '/' + planted.section('/', 0, 0);
        QCOMPARE(paths.contains(top), recorded);
        QCOMPARE(paths.contains(destination + '/' + planted), recorded);
    }
};

QTEST_GUILESS_MAIN(TestUserSideRecord)
#include "tst_usersiderecord.moc"
