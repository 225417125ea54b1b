#include "engine/PathState.h"
#include "engine/ReceiptCheck.h"
#include "engine/UninstallComposer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using helper::ReceiptEntry;

namespace {

QString linesOf(const QString &script, const QString &start)
{
    QStringList picked;
    for (const QString &line : script.split(QLatin1Char('\n'))) {
        if (line.startsWith(start))
            picked << line;
    }
    return picked.join(QLatin1Char('\n'));
}

} // namespace

class UninstallTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tree;
    QString m_b;

    void write(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(m_b + path).path());
        QFile file(m_b + path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // What stands at each path now, as an install would have recorded it.
    helper::Receipt recorded(const QString &product, const QStringList &paths)
    {
        helper::Receipt receipt;
        receipt.product = product.toStdString();
        for (const QString &path : paths) {
            ReceiptEntry entry;
            if (PathState::at(m_b + path, true, entry) == PathState::Read::found)
                receipt.entries.push_back(entry);
        }
        return receipt;
    }

    // The lines --verify prints for `receipt`, the tree's own path left out.
    QStringList verified(const helper::Receipt &receipt, const QSet<QString> &paths) const
    {
        QStringList lines;
        for (const ReceiptCheck::Finding &finding :
             ReceiptCheck::check(receipt, paths, m_b + "/opt/Q/"))
            lines << finding.line().replace(m_b, QString());
        return lines;
    }

    QString quoted(const QString &path) const
    {
        return QStringLiteral("\\\"%1\\\"").arg(m_b + path);
    }

private slots:
    void init()
    {
        m_b = m_tree.path();
        QDir(m_b).removeRecursively();
        QDir().mkpath(m_b);
        write("/opt/Q/A/a.txt", "a");
        write("/opt/Q/A/changed.txt", "as installed");
        write("/opt/Q/B/b.txt", "b");
        QDir().mkpath(m_b + "/share");
        QVERIFY(QFile::link(m_b + "/opt/Q/A", m_b + "/share/A"));
        QVERIFY(QFile::link(m_b + "/opt/Q/A", m_b + "/share/moved"));
    }

    // What stands as recorded goes; what changed since is kept and said.
    void removesOnlyWhatIsStillAsInstalled_data()
    {
        QTest::addColumn<bool>("force");
        QTest::newRow("kept without --force") << false;
        QTest::newRow("removed with --force") << true;
    }
    void removesOnlyWhatIsStillAsInstalled()
    {
        QFETCH(bool, force);
        InstalledProduct a{"A",
                           recorded("A", {"/opt", "/opt/Q", "/opt/Q/A", "/opt/Q/A/a.txt",
                                          "/opt/Q/A/changed.txt", "/share/A", "/share/moved"}),
                           std::nullopt};
        InstalledProduct b{"B", recorded("B", {"/opt/Q", "/opt/Q/B", "/opt/Q/B/b.txt"}),
                           std::nullopt};
        write("/opt/Q/A/changed.txt", "edited by hand");
        QFile::remove(m_b + "/share/moved");
        QVERIFY(QFile::link(m_b + "/opt/Q/B", m_b + "/share/moved"));
        QFile::remove(m_b + "/opt/Q/A/a.txt");

        const UninstallComposer::Composed composed =
            UninstallComposer::compose({a, b}, m_b + "/receipts", force);
        const QString rm = linesOf(composed.script, "do shell script \"rm -f ");
        QVERIFY(rm.contains(quoted("/share/A")));
        QVERIFY(!rm.contains(quoted("/share/moved")));
        QVERIFY(!rm.contains(quoted("/opt/Q/A/a.txt"))); // already gone: nothing to do
        QCOMPARE(rm.contains(quoted("/opt/Q/A/changed.txt")), force);
        QVERIFY(rm.contains(quoted("/receipts/A.receipt")) &&
                rm.contains(quoted("/receipts/B.receipt")));
        QVERIFY(
            composed.kept.join('\n').contains("/share/moved: it points to " + m_b + "/opt/Q/B"));
        QCOMPARE(composed.kept.join('\n').contains("changed.txt: changed since"), !force);

        // Deepest first, and a folder both products list once, after both.
        const QStringList folders =
            linesOf(composed.script, "do shell script \"rmdir").split(QLatin1Char('\n'));
        QCOMPARE(folders.size(), 4);
        QVERIFY(folders[0].contains(quoted("/opt/Q/A")) || folders[0].contains(quoted("/opt/Q/B")));
        QVERIFY(folders[2].contains(quoted("/opt/Q")));
        QVERIFY(folders[3].contains(quoted("/opt")));
        QVERIFY(composed.script.startsWith("try\n") && composed.script.endsWith("return \"Ok\""));
    }

    // A recorded folder the user replaced with a link to somewhere else: what
    // was below it is not reached through the link.
    void nothingIsRemovedThroughAPlantedLink()
    {
        InstalledProduct a{"A", std::nullopt,
                           recorded("A", {"/opt/Q/A", "/opt/Q/A/a.txt", "/opt/Q/A/changed.txt"})};
        write("/elsewhere/a.txt", "a");
        write("/elsewhere/changed.txt", "as installed");
        QVERIFY(QDir(m_b + "/opt/Q/A").removeRecursively());
        QVERIFY(QFile::link(m_b + "/elsewhere", m_b + "/opt/Q/A"));
        const UninstallComposer::Composed composed =
            UninstallComposer::compose({a}, m_b + "/receipts", true);
        QCOMPARE(linesOf(composed.script, "do shell script"), QString());
        QCOMPARE(composed.kept.size(), 2);
        QVERIFY(composed.kept.first().contains("is no longer the folder that was installed"));
    }

    // A receipt cut short is named with why, and counts for nothing: no
    // product, so nothing of what it lists is removed.
    void aDamagedReceiptRemovesNothing()
    {
        helper::Receipt good = recorded("A", {"/opt/Q/A/a.txt"});
        helper::Receipt cut = recorded("B", {"/opt/Q/B/b.txt"});
        write("/receipts/A.receipt", QByteArray::fromStdString(helper::formatReceipt(good)));
        QByteArray text = QByteArray::fromStdString(helper::formatReceipt(cut));
        write("/receipts/B.receipt", text.left(text.indexOf("end\n")));
        ReceiptBook book;
        book.setFolders(m_b + "/receipts/", QString());
        const QList<InstalledProduct> installed = book.load();
        QCOMPARE(installed.size(), 1);
        QCOMPARE(installed.first().name, QStringLiteral("A"));
        QCOMPARE(book.damaged(),
                 QStringList{m_b + "/receipts/B.receipt: line 7: cut short (no \"end\")"});
        const QString script =
            UninstallComposer::compose(installed, m_b + "/receipts", true).script;
        QVERIFY(!script.contains("b.txt") && script.contains("a.txt"));
    }

    // An upgrade removes what the old install listed and the new script does
    // not make again, and nothing the new script makes.
    void anUpgradeRemovesOnlyWhatTheNewBundleDropped()
    {
        InstalledProduct a{"A",
                           recorded("A", {"/opt/Q", "/opt/Q/A", "/opt/Q/A/a.txt", "/opt/Q/B",
                                          "/opt/Q/B/b.txt", "/share/A", "/share/moved"}),
                           std::nullopt};
        const QString script =
            QStringLiteral(
                "try\ndo shell script \"mkdir -p \\\"%1/opt/Q/\\\"\" with administrator "
                "privileges\ndo shell script \"cp -R -f \\\"%1/bundle/A\\\" "
                "\\\"%1/opt/Q/\\\"\" with administrator privileges\ndo shell script "
                "\"ln -f -n -s \\\"%1/opt/Q/A\\\" \\\"%1/share/A\\\"\"  with administrator "
                "privileges\n\non error errMsg\nreturn errMsg\nend try\nreturn \"Ok\"")
                .arg(m_b);
        const QString lines = UninstallComposer::staleLines({a}, script);
        QCOMPARE(linesOf(lines, "do shell script \"rm -f "),
                 QStringLiteral("do shell script \"rm -f %1\" with administrator privileges\n"
                                "do shell script \"rm -f %2\" with administrator privileges")
                     .arg(quoted("/opt/Q/B/b.txt"), quoted("/share/moved")));
        QCOMPARE(linesOf(lines, "do shell script \"rmdir"),
                 QStringLiteral("do shell script \"rmdir --ignore-fail-on-non-empty %1\" with "
                                "administrator privileges")
                     .arg(quoted("/opt/Q/B")));
    }

    // A file the new bundle dropped from a folder whose contents are copied
    // into the user's data folder is stale; one it still carries is not.
    void anUpgradeRemovesAFileDroppedFromACopiedFolder_data()
    {
        QTest::addColumn<bool>("bundleKnown");
        QTest::newRow("the bundle's element is known") << true;
        QTest::newRow("it is not: nothing below the copy goes") << false;
    }
    void anUpgradeRemovesAFileDroppedFromACopiedFolder()
    {
        QFETCH(bool, bundleKnown);
        write("/data/Presets/kept.txt", "kept");
        write("/data/Presets/dropped.txt", "dropped");
        write("/bundle/A/Presets/kept.txt", "kept");
        InstalledProduct a{"A", std::nullopt,
                           recorded("A", {"/data/Presets/kept.txt", "/data/Presets/dropped.txt"})};
        const QString script = QStringLiteral("try\ndo shell script \"cp -R -f "
                                              "\\\"%1/opt/Q/A/Presets/.\\\" "
                                              "\\\"%1/data/Presets/\\\"\"\n\non error errMsg\n"
                                              "return errMsg\nend try\nreturn \"Ok\"")
                                   .arg(m_b);
        QHash<QString, QString> bundle;
        if (bundleKnown)
            bundle.insert(m_b + "/opt/Q/A", m_b + "/bundle/A");
        const QString lines = UninstallComposer::staleLines({a}, script, {}, bundle);
        QVERIFY2(!lines.contains(quoted("/data/Presets/kept.txt")), qPrintable(lines));
        QCOMPARE(lines.contains(quoted("/data/Presets/dropped.txt")), bundleKnown);
    }

    // Two bundles may carry an element folder of the same name: what a product
    // staying installed also lists stays, for the uninstall and the upgrade.
    void whatAnotherProductListsStays_data()
    {
        QTest::addColumn<bool>("upgrade");
        QTest::newRow("uninstall") << false;
        QTest::newRow("upgrade's stale removal") << true;
    }
    void whatAnotherProductListsStays()
    {
        QFETCH(bool, upgrade);
        const QStringList shared = {"/opt/Q", "/opt/Q/A", "/opt/Q/A/a.txt", "/share/A"};
        InstalledProduct a{"A", recorded("A", shared + QStringList{"/opt/Q/A/changed.txt"}),
                           std::nullopt};
        InstalledProduct b{"B", recorded("B", shared + QStringList{"/opt/Q/B", "/opt/Q/B/b.txt"}),
                           std::nullopt};
        const QList<InstalledProduct> others = UninstallComposer::othersThan({a, b}, {a});
        QCOMPARE(others.size(), 1);
        QCOMPARE(others.first().name, QStringLiteral("B"));
        // An upgrade of A from a bundle that no longer carries its element.
        const QString script = QStringLiteral("try\ndo shell script \"mkdir -p \\\"%1/opt/Q/\\\"\" "
                                              "with administrator privileges\n\non error errMsg\n"
                                              "return errMsg\nend try\nreturn \"Ok\"")
                                   .arg(m_b);
        const QString lines =
            upgrade ? UninstallComposer::staleLines({a}, script, others)
                    : UninstallComposer::compose({a}, m_b + "/receipts", false, others).script;
        for (const QString &path : shared)
            QVERIFY2(!lines.contains(quoted(path)), qPrintable(path + " removed:\n" + lines));
        QVERIFY(lines.contains(quoted("/opt/Q/A/changed.txt")));
        QCOMPARE(lines.contains(quoted("/receipts/A.receipt")), !upgrade);
        // With B going too, everything goes.
        const QString both = UninstallComposer::compose({a, b}, m_b + "/receipts", false).script;
        for (const QString &path : shared)
            QVERIFY2(both.contains(quoted(path)), qPrintable(path));
    }

    // What --verify says of what stands where no receipt lists it: in the
    // app folder anything, in the folders other vendors share only a run's
    // temporary.
    void verifyNamesWhatNoReceiptLists_data()
    {
        QTest::addColumn<QString>("planted"); // a file; empty: nothing
        QTest::addColumn<QString>("line");    // the finding
        QTest::addColumn<int>("times");       // once for each receipt listing its folder
        const QString left = " (a temporary of an installer run that did not finish)";
        QTest::newRow("nothing") << ""
                                 << "" << 0;
        QTest::newRow("a file in an element") << "/opt/Q/A/stray.txt"
                                              << "unexpected: /opt/Q/A/stray.txt" << 1;
        QTest::newRow("a folder in the app folder") << "/opt/Q/C/c.txt"
                                                    << "unexpected: /opt/Q/C" << 2;
        QTest::newRow("a temporary in an element")
            << "/opt/Q/A/.quorvantic-123-4"
            << "unexpected: /opt/Q/A/.quorvantic-123-4" + left << 1;
        QTest::newRow("an undo in the app folder")
            << "/opt/Q/.quorvantic-undo-1-2"
            << "unexpected: /opt/Q/.quorvantic-undo-1-2" + left << 2;
        QTest::newRow("a look-alike in an element")
            << "/opt/Q/A/.quorvantic-notes"
            << "unexpected: /opt/Q/A/.quorvantic-notes" << 1;
        QTest::newRow("another vendor's plug-in") << "/share/Other"
                                                  << "" << 0;
        QTest::newRow("a look-alike in a link folder") << "/share/.quorvantic-notes"
                                                       << "" << 0;
        QTest::newRow("a temporary in a link folder")
            << "/share/.quorvantic-stage-5-6"
            << "unexpected: /share/.quorvantic-stage-5-6" + left << 1;
        QTest::newRow("beside the app folder") << "/opt/other.txt"
                                               << "" << 0;
    }
    void verifyNamesWhatNoReceiptLists()
    {
        QFETCH(QString, planted);
        QFETCH(QString, line);
        QFETCH(int, times);
        const helper::Receipt a =
            recorded("A", {"/opt", "/opt/Q", "/opt/Q/A", "/opt/Q/A/a.txt", "/opt/Q/A/changed.txt",
                           "/share", "/share/A", "/share/moved"});
        const helper::Receipt b = recorded("B", {"/opt/Q", "/opt/Q/B", "/opt/Q/B/b.txt"});
        QSet<QString> paths;
        for (const helper::Receipt &receipt : {a, b}) {
            for (const ReceiptEntry &entry : receipt.entries)
                paths << QString::fromStdString(entry.path);
        }
        if (!planted.isEmpty())
            write(planted, "");
        QCOMPARE(verified(a, paths) + verified(b, paths), QStringList(times, line));
    }

    // A temporary that an older install recorded is reported while it stands.
    void aRecordedTemporaryIsReported_data()
    {
        QTest::addColumn<bool>("stands");
        QTest::newRow("standing") << true;
        QTest::newRow("gone") << false;
    }
    void aRecordedTemporaryIsReported()
    {
        QFETCH(bool, stands);
        write("/opt/Q/A/.quorvantic-77-1", "");
        const QStringList listed = {"/opt/Q/A", "/opt/Q/A/a.txt", "/opt/Q/A/changed.txt",
                                    "/opt/Q/A/.quorvantic-77-1"};
        const helper::Receipt a = recorded("A", listed);
        QCOMPARE(a.entries.size(), size_t(4));
        if (!stands)
            QVERIFY(QFile::remove(m_b + "/opt/Q/A/.quorvantic-77-1"));
        QSet<QString> paths;
        for (const QString &path : listed)
            paths << m_b + path;
        QCOMPARE(verified(a, paths),
                 stands ? QStringList{"unexpected: /opt/Q/A/.quorvantic-77-1 (a temporary of "
                                      "an installer run, recorded by mistake)"}
                        : QStringList());
    }

    // The journal of a run that did not finish, in either store.
    void unfinishedRunsAreFound_data()
    {
        QTest::addColumn<QStringList>("journals"); // below the tree
        QTest::newRow("none") << QStringList();
        QTest::newRow("the system's") << QStringList{"/receipts/transaction.journal"};
        QTest::newRow("the user's") << QStringList{"/state/receipts/transaction.journal"};
        QTest::newRow("both") << QStringList{"/receipts/transaction.journal",
                                             "/state/receipts/transaction.journal"};
    }
    void unfinishedRunsAreFound()
    {
        QFETCH(QStringList, journals);
        write("/receipts/A.receipt",
              QByteArray::fromStdString(helper::formatReceipt(recorded("A", {"/opt/Q/A/a.txt"}))));
        QVERIFY(QDir().mkpath(m_b + "/state/receipts"));
        QStringList expected;
        for (const QString &journal : std::as_const(journals)) {
            write(journal, "");
            expected << m_b + journal;
        }
        ReceiptBook book;
        book.setFolders(m_b + "/receipts/", m_b + "/state/receipts/");
        QCOMPARE(book.load().size(), 1);
        QCOMPARE(book.unfinished(), expected);
        QCOMPARE(book.damaged(), QStringList());
    }
};

QTEST_GUILESS_MAIN(UninstallTest)
#include "tst_uninstall.moc"
