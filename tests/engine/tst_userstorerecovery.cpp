// A run killed during the user's side leaves its journal in the user's
// receipt store: the next run that gets the store ready, and the commands
// that read the receipts, undo it first and say so; a journal that cannot be
// undone stops the run and is left for --verify to name.
#include "engine/ReceiptBook.h"
#include "helper/Transaction.h"
#include "script/UserSideOperations.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

helper::PathComponents components(const QString &folder)
{
    return helper::splitPath(encoded(folder).toStdString(), true).components;
}

const QString undoneNotice =
    QStringLiteral("An earlier installation was interrupted; its changes were undone.");

} // namespace

class TestUserStoreRecovery : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_data;
    QString m_store;

    // A child that writes a preset over the user's own and a new folder,
    // then ends without settling, as a killed run does.
    void killedRun()
    {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            helper::UniqueFd store(
                ::open(encoded(m_store).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            helper::Transaction undo(store.get(), encoded(m_store).toStdString(),
                                     UserSideOperations::opener(components(m_data), std::nullopt));
            UserSideOperations operations(components(m_data), std::nullopt, &undo);
            bool done = true;
            for (const std::string &command :
                 {"mkdir -p \"" + encoded(m_data).toStdString() + "LR/New/\"",
                  "echo \"new\" > \"" + encoded(m_data).toStdString() + "LR/preset.txt\""}) {
                const std::optional<UserSideLine> line =
                    readUserSideLine(command, components(m_data), components("/opt/none"));
                done = done && line && operations.perform(*line).status == 0;
            }
            undo.abandon();
            ::_exit(done ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QVERIFY(QFileInfo::exists(m_store + "transaction.journal"));
        QVERIFY(QFileInfo(m_data + "LR/New").isDir());
    }

    QByteArray preset() const
    {
        QFile file(m_data + "LR/preset.txt");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        const QString root =
            m_dir.path() + '/' + QTest::currentTestFunction() + '/' + QTest::currentDataTag() + '/';
        m_data = root + "data/";
        m_store = root + "state/receipts/";
        QVERIFY(QDir().mkpath(m_data + "LR") && QDir().mkpath(m_store));
        QFile file(m_data + "LR/preset.txt");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("the user's") == 10);
    }

    // Both ways in: the store got ready for a run, and the receipt commands.
    void aKilledRunIsUndoneBeforeAnythingElse_data()
    {
        QTest::addColumn<bool>("forRun");
        QTest::newRow("a run") << true;
        QTest::newRow("--verify, --list-installed, --uninstall") << false;
    }
    void aKilledRunIsUndoneBeforeAnythingElse()
    {
        QFETCH(bool, forRun);
        killedRun();
        ReceiptBook book;
        book.setFolders(m_dir.path() + "/system/", m_store);
        QString notice;
        if (forRun) {
            QString problem;
            const std::optional<helper::StoreLock> lock = book.prepareUserStore(problem, &notice);
            QVERIFY2(lock, qPrintable(problem));
            QCOMPARE(problem, QString());
        } else {
            notice = book.recoverUserStore();
        }
        QCOMPARE(notice, undoneNotice);
        QCOMPARE(preset(), QByteArray("the user's"));
        QVERIFY(!QFileInfo::exists(m_data + "LR/New"));
        QVERIFY(!QFileInfo::exists(m_store + "transaction.journal"));
        QCOMPARE(
            QDir(m_data + "LR").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"preset.txt"});
    }

    // A journal that is not one stops the run and stays, to be named.
    void aJournalThatCannotBeUndoneStays()
    {
        QFile journal(m_store + "transaction.journal");
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.close();
        ReceiptBook book;
        book.setFolders(m_dir.path() + "/system/", m_store);
        QCOMPARE(book.recoverUserStore(), QString());
        QString problem;
        QString notice;
        QVERIFY(!book.prepareUserStore(problem, &notice));
        QVERIFY2(problem.startsWith("An earlier installation was interrupted and could not be "
                                    "undone: "),
                 qPrintable(problem));
        QCOMPARE(notice, QString());
        QVERIFY(QFileInfo::exists(m_store + "transaction.journal"));
    }
};

QTEST_GUILESS_MAIN(TestUserStoreRecovery)
#include "tst_userstorerecovery.moc"
