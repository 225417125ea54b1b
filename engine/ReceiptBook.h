#pragma once

#include "engine/UserSideRecord.h"
#include "helper/Receipt.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The receipts of what is installed: the system part the privileged side
// keeps (root's, readable by all) and the user part kept in the user's state
// folder, joined by product.
struct InstalledProduct
{
    QString name;
    std::optional<helper::Receipt> system;
    std::optional<helper::Receipt> user;

    // The system part's when there is one: which installer, from where, when.
    const helper::Receipt &summary() const { return system ? *system : *user; }
};

class ReceiptBook
{
public:
    ReceiptBook();

    // The folders read; by default the system's and the user's own.
    void setFolders(const QString &system, const QString &user);
    QString systemFolder() const { return m_system; }
    QString userFolder() const { return m_user; }
    static QString defaultUserFolder();

    // Every product with a receipt, in the product list's order. Receipts that
    // cannot be read are named in damaged() with why, and count for nothing.
    QList<InstalledProduct> load();
    QStringList damaged() const { return m_damaged; }

    // Folds a run's user side into the user receipts: what it made is added to
    // each product's, what it removed is dropped from all; a receipt left with
    // nothing is removed. `user` is whose data folder it was. False, with a
    // line in `problem`, when a receipt could not be written.
    bool record(const UserSideRecord &run, const QString &user, const QString &bundle,
                QString &problem);
    // Removes the user part of `product`'s receipt.
    bool forgetUserPart(const QString &product, QString &problem);

private:
    QString m_system;
    QString m_user;
    QStringList m_damaged;
};
