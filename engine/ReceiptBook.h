#pragma once

#include "engine/StateFolder.h"
#include "engine/UserSideRecord.h"
#include "helper/Receipt.h"
#include "helper/ReceiptStore.h"
#include "helper/Transaction.h"
#include "script/CommandShell.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <unistd.h>

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

// Reads and writes the user part only as its folder's owner (engine/StateFolder.h):
// as root for a user's folder, as that user, on a thread of its own.
class ReceiptBook
{
public:
    ReceiptBook();

    // The folders read; by default the system's and the user's own (below the
    // environment's state folder). An empty user folder means no user part.
    // The system folder must belong to `systemOwner`: root for the system's
    // own, this process for folders it keeps itself (tests, the demo).
    void setFolders(const QString &system, const QString &user, uid_t systemOwner = ::geteuid());
    QString systemFolder() const { return m_system; }
    // The user part's folder as it is used by this process (root may keep its
    // own instead, as StateFolder decides); empty when there is none.
    QString userFolder() const;

    // As root, before anything else: undoes a run of the system part that was
    // killed. The notice to give ("An earlier installation was interrupted;
    // its changes were undone."), empty when there was none; `problem` says
    // why one could not be undone. A user's process leaves it to the helper.
    QString recoverSystemPart(QString &problem) const;
    // Whether a run of the system part was killed and is not undone yet.
    bool systemRunUnfinished() const;

    // Every product with a receipt, in the product list's order. Receipts that
    // cannot be read are named in damaged() with why, and count for nothing.
    QList<InstalledProduct> load();
    QStringList damaged() const { return m_damaged; }
    // The journals load() found: each is a run that was interrupted, not
    // finished, whose changes the next run undoes.
    QStringList unfinished() const { return m_unfinished; }

    // Folds a run's user side into the user receipts: what it made is added to
    // each product's, what it removed is dropped from all; a receipt left with
    // nothing is removed. `user` is whose data folder it was. False when a
    // receipt could not be written, with `problem` naming for each product
    // what was installed but is not recorded, and why. `before`, when given,
    // is called with each receipt's file name before it is written or
    // removed; when it fails, that receipt is left as it is.
    bool record(const UserSideRecord &run, const QString &user, const QString &bundle,
                QString &problem, const JournalKeeper &before = {});
    // Removes the user part of `product`'s receipt (`before` as above).
    bool forgetUserPart(const QString &product, QString &problem, const JournalKeeper &before = {});

    // Gets the user's receipt store ready before a run writes anything, as
    // its owner: made, locked while the result lives, rid of dead runs'
    // temporaries, and probed. Nothing, with `problem` empty, when there is no
    // user store at all; nothing, with the sentence saying why, when the
    // receipts cannot be kept there. A journal a killed run left there is
    // undone first, as the store's owner: `notice` then says so; when it
    // cannot be undone nothing is locked and `problem` says why.
    std::optional<helper::StoreLock> prepareUserStore(QString &problem,
                                                      QString *notice = nullptr) const;
    // Undoes, as above, what a killed run left in the user's store, when the
    // store stands and no run holds it; what to tell, empty when nothing was
    // undone. (A journal that cannot be undone stays, for unfinished().)
    QString recoverUserStore() const;
    // After a run: a user store left without a receipt goes again.
    void tidyUserStore() const;

    // Runs `work` with the user's receipt store, as its owner, and returns
    // once it has ended: what opens or writes the store must happen inside.
    // False, with why, when there is no user store or this process may not
    // act there; `work` has then not run. For example:
    //     book.withUserStore([&](const helper::ReceiptStore &store) {
    //         lock = store.prepare(why);
    //     }, problem);
    bool withUserStore(const std::function<void(const helper::ReceiptStore &)> &work,
                       QString &problem) const;

private:
    // How the user side's journal reaches its folders again to undo them.
    static helper::FolderOpener userSideOpener();
    // The user part's state folder and the receipts folder in it.
    StateFolder userState(QString &folder) const;

    QString m_system;
    uid_t m_systemOwner = 0;
    QString m_user;           // given by setFolders
    bool m_userGiven = false; // else the environment's
    QStringList m_damaged;
    QStringList m_unfinished;
};
