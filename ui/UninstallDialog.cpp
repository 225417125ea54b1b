#include "ui/UninstallDialog.h"

#include "engine/Installer.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

QString listed(const QList<InstalledProduct> &products)
{
    QStringList lines;
    for (const InstalledProduct &product : products) {
        const helper::Receipt &receipt = product.summary();
        lines << QCoreApplication::translate("UninstallDialog", "%1, version %2, installed %3")
                     .arg(product.name, QString::fromStdString(receipt.version),
                          QString::fromStdString(receipt.time));
    }
    return lines.join(QLatin1Char('\n'));
}

bool confirmed(const QList<InstalledProduct> &products, QWidget *parent)
{
    QMessageBox box(QMessageBox::Question,
                    QCoreApplication::translate("UninstallDialog", "Uninstall Quorvantic Plug-ins"),
                    QCoreApplication::translate(
                        "UninstallDialog", "Remove these Quorvantic plug-ins from this computer?"),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(
        listed(products) + QStringLiteral("\n\n") +
        QCoreApplication::translate("UninstallDialog",
                                    "Files changed since they were installed are kept."));
    QPushButton *remove = box.addButton(QCoreApplication::translate("UninstallDialog", "Uninstall"),
                                        QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == remove;
}

void showEnd(QWidget *parent, Installer::RunEnd end, const QString &message,
             const QStringList &kept, const QString &log)
{
    if (end == Installer::RunEnd::canceled)
        return; // the authentication was dismissed: nothing happened, nothing to say
    const bool done = end == Installer::RunEnd::completed;
    QMessageBox box(done ? QMessageBox::Information : QMessageBox::Warning,
                    QCoreApplication::translate("UninstallDialog", "Uninstall Quorvantic Plug-ins"),
                    done ? QCoreApplication::translate("UninstallDialog",
                                                       "The Quorvantic plug-ins were uninstalled.")
                         : QCoreApplication::translate("UninstallDialog", "The uninstall failed."),
                    QMessageBox::Ok, parent);
    QStringList details;
    if (!done)
        details << message;
    if (!kept.isEmpty())
        details << QCoreApplication::translate(
                       "UninstallDialog", "Kept, because they changed since they were installed:")
                << kept;
    if (!log.isEmpty())
        details << QCoreApplication::translate("UninstallDialog", "Full log: %1").arg(log);
    box.setInformativeText(details.join(QLatin1Char('\n')));
    box.exec();
}

} // namespace

void UninstallDialog::run(Installer &installer, QWidget *parent)
{
    if (installer.isRunning())
        return;
    const QList<InstalledProduct> products = installer.receipts().load();
    if (products.isEmpty()) {
        QMessageBox::information(
            parent, QCoreApplication::translate("UninstallDialog", "Uninstall Quorvantic Plug-ins"),
            QCoreApplication::translate("UninstallDialog",
                                        "No Quorvantic plug-ins are installed."));
        return;
    }
    if (!confirmed(products, parent))
        return;
    QPointer<QWidget> owner(parent);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&installer, &Installer::uninstallFinished, parent,
                                   [owner, connection, &installer](Installer::RunEnd end,
                                                                   const QString &message,
                                                                   const QStringList &kept) {
                                       QObject::disconnect(*connection);
                                       showEnd(owner, end, message, kept, installer.lastLogPath());
                                   });
    installer.uninstall(products, false);
}
