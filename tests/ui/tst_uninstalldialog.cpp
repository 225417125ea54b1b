#include "../common/RecordingExecutor.h"
#include "engine/Installer.h"
#include "helper/Receipt.h"
#include "ui/UninstallDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Answers the next message box the window shows: presses the button with
// `label`, and notes its text.
void answerNextBox(const QString &label, QString *text)
{
    QTimer::singleShot(0, [label, text] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            answerNextBox(label, text); // not up yet
            return;
        }
        *text = box->text() + QLatin1Char('\n') + box->informativeText();
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == label)
                button->click();
        }
    });
}

} // namespace

class UninstallDialogTest : public QObject
{
    Q_OBJECT

private slots:
    // Asked first, then run through the installer's executor, then told how it
    // ended; dismissing the question runs nothing.
    void asksThenRunsTheUninstall()
    {
        QTemporaryDir state;
        helper::Receipt receipt;
        receipt.product = "Velamorph 4";
        receipt.version = "1.0.0";
        receipt.time = "2026-12-08T05:10:44Z";
        receipt.entries.push_back({helper::ReceiptEntry::Kind::link,
                                   (state.path() + "/L").toStdString(), "/nowhere", 0, 0, 0});
        QVERIFY(QFile::link("/nowhere", state.path() + "/L"));
        QFile file(state.path() + "/system/Velamorph 4.receipt");
        QVERIFY(QDir().mkpath(state.path() + "/system") && file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(helper::formatReceipt(receipt)));
        file.close();

        AppSettings settings;
        Installer installer(settings);
        installer.setLogFolder(state.path() + "/logs");
        installer.receipts().setFolders(state.path() + "/system/", state.path() + "/user/");
        RecordingExecutor recording;
        installer.setScriptExecutor(recording.executor());
        QWidget window;

        QString question;
        answerNextBox("Cancel", &question);
        UninstallDialog::run(installer, &window);
        QVERIFY(question.contains("Velamorph 4, version 1.0.0"));
        QCOMPARE(recording.sources().size(), 0);

        QString end;
        answerNextBox("Uninstall", &question);
        QObject::connect(&installer, &Installer::uninstallFinished, &window,
                         [&end] { answerNextBox("OK", &end); });
        UninstallDialog::run(installer, &window);
        QTRY_COMPARE(recording.sources().size(), 1);
        QVERIFY(recording.sources().first().contains("rm -f \\\"" + state.path() + "/L\\\""));
        QTRY_VERIFY(end.startsWith("The Quorvantic plug-ins were uninstalled."));
        QVERIFY(end.contains("Full log: " + state.path() + "/logs/"));
    }
};

QTEST_MAIN(UninstallDialogTest)
#include "tst_uninstalldialog.moc"
