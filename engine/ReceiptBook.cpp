#include "engine/ReceiptBook.h"

#include "engine/ProductNames.h"
#include "helper/ReceiptJournal.h"
#include "helper/SystemLocations.h"
#include "helper/Transaction.h"
#include "script/UserDataFolder.h"
#include "script/UserSideOperations.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <map>

namespace {

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

std::map<std::string, helper::Receipt> loadFrom(const helper::ReceiptStore &store,
                                                QStringList &damaged)
{
    std::map<std::string, helper::Receipt> receipts;
    std::vector<std::string> bad;
    std::string problem;
    if (!store.load(receipts, bad, problem))
        damaged << QStringLiteral("%1: %2").arg(QString::fromStdString(store.folder()),
                                                QString::fromStdString(problem));
    for (const std::string &line : bad)
        damaged << QString::fromStdString(line);
    return receipts;
}

// What the user was left without a record of: the product, where, why, and
// each path, since --uninstall will not know to remove them.
QString unrecorded(const std::string &product, const std::vector<helper::ReceiptEntry> &entries,
                   const QString &folder, const QString &why)
{
    if (entries.empty()) // only removals: the receipt still lists what is gone
        return QStringLiteral("The user's receipt of %1 in \"%2\" could not be updated: %3.")
            .arg(QString::fromStdString(product), folder, why);
    QString text = QStringLiteral("The user's part of %1 was installed but could not be recorded "
                                  "in \"%2\": %3. Not recorded, so --uninstall will not remove:")
                       .arg(QString::fromStdString(product), folder, why);
    for (const helper::ReceiptEntry &entry : entries)
        text += QStringLiteral("\n    ") + QString::fromStdString(entry.path);
    return text;
}

QString interruptedNotice()
{
    return QStringLiteral("An earlier installation was interrupted; its changes were undone.");
}

QString interruptedProblem(const std::string &why)
{
    QString reason = QString::fromStdString(why);
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return QStringLiteral("An earlier installation was interrupted and could not be undone: %1.")
        .arg(reason);
}

} // namespace

QString ReceiptBook::recoverSystemPart(QString &problem) const
{
    if (::geteuid() != 0 || m_systemOwner != 0)
        return {};
    std::string why;
    const std::string notice = helper::ReceiptJournal::recoverStore(m_system.toStdString(), why);
    problem = QString::fromStdString(why);
    return QString::fromStdString(notice);
}

bool ReceiptBook::systemRunUnfinished() const
{
    return helper::ReceiptStore(m_system.toStdString(), m_systemOwner).hasJournal();
}

ReceiptBook::ReceiptBook()
    : m_system(QString::fromUtf8(helper::locations::receipts.data(),
                                 qsizetype(helper::locations::receipts.size())))
{}

void ReceiptBook::setFolders(const QString &system, const QString &user, uid_t systemOwner)
{
    m_system = system;
    m_systemOwner = systemOwner;
    m_user = user;
    m_userGiven = true;
}

StateFolder ReceiptBook::userState(QString &folder) const
{
    if (m_userGiven) {
        StateFolder state = StateFolder::at(m_user);
        folder = m_user.isEmpty() ? QString() : withSlash(state.path());
        return state;
    }
    StateFolder state = StateFolder::ofDataFolder(userDataFolderOfThisProcess());
    folder = state.path().isEmpty() ? QString() : state.path() + QStringLiteral("/receipts/");
    return state;
}

QString ReceiptBook::userFolder() const
{
    QString folder;
    userState(folder);
    return folder;
}

bool ReceiptBook::withUserStore(const std::function<void(const helper::ReceiptStore &)> &work,
                                QString &problem) const
{
    QString folder;
    const StateFolder state = userState(folder);
    if (folder.isEmpty()) {
        problem = state.problem().isEmpty() ? QStringLiteral("There is no folder for the user's "
                                                             "receipts.")
                                            : state.problem();
        return false;
    }
    const helper::ReceiptStore store(folder.toStdString(), state.owner(),
                                     state.followsOwnerLinks());
    return state.run([&work, &store] { work(store); }, problem);
}

QList<InstalledProduct> ReceiptBook::load()
{
    m_damaged.clear();
    m_unfinished.clear();
    const auto read = [this](const helper::ReceiptStore &store) {
        if (store.hasJournal())
            m_unfinished << QString::fromStdString(store.folder() +
                                                   std::string(helper::ReceiptStore::journalName));
        return loadFrom(store, m_damaged);
    };
    std::map<std::string, InstalledProduct> joined;
    for (auto &[name, receipt] :
         read(helper::ReceiptStore(withSlash(m_system).toStdString(), m_systemOwner))) {
        joined[name].name = QString::fromStdString(name);
        joined[name].system = std::move(receipt);
    }
    std::map<std::string, helper::Receipt> user;
    QString problem;
    const QString userPart = userFolder();
    if (!userPart.isEmpty() &&
        !withUserStore([&read, &user](const helper::ReceiptStore &store) { user = read(store); },
                       problem))
        m_damaged << QStringLiteral("%1: %2").arg(userPart, problem);
    for (auto &[name, receipt] : user) {
        joined[name].name = QString::fromStdString(name);
        joined[name].user = std::move(receipt);
    }
    QList<InstalledProduct> products;
    for (auto &[name, product] : joined)
        products << std::move(product);
    std::sort(products.begin(), products.end(),
              [](const InstalledProduct &a, const InstalledProduct &b) {
                  return ProductNames::lessThan(a.name, b.name);
              });
    return products;
}

bool ReceiptBook::record(const UserSideRecord &run, const QString &user, const QString &bundle,
                         QString &problem, const JournalKeeper &before)
{
    if ((run.made().empty() && run.gone().empty()) || (m_userGiven && m_user.isEmpty()))
        return true;
    QStringList failures;
    const auto fold = [&run, &user, &bundle, &failures,
                       &before](const helper::ReceiptStore &store) {
        QStringList damaged;
        std::map<std::string, helper::Receipt> receipts = loadFrom(store, damaged);
        std::map<std::string, bool> changed;
        for (const auto &[product, entries] : run.made()) {
            helper::Receipt &receipt = receipts[product];
            receipt.product = product;
            for (const helper::ReceiptEntry &entry : entries)
                receipt.put(entry);
            receipt.bundle = bundle.toStdString();
            changed[product] = true;
        }
        for (auto &[product, receipt] : receipts) {
            for (const std::string &path : run.gone())
                changed[product] = receipt.dropAt(path) || changed[product];
        }
        for (auto &[product, receipt] : receipts) {
            if (!changed[product])
                continue;
            std::string why;
            receipt.version = QUORVANTIC_VERSION;
            receipt.time = helper::utcNow();
            receipt.user = user.toStdString();
            const bool kept = !before || before(helper::receiptFileName(product), why);
            if (kept &&
                (receipt.entries.empty() ? store.remove(product, why) : store.write(receipt, why)))
                continue;
            const auto made = run.made().find(product);
            failures << unrecorded(
                product,
                made != run.made().end() ? made->second : std::vector<helper::ReceiptEntry>(),
                QString::fromStdString(store.folder()), QString::fromStdString(why));
        }
    };
    QString refused;
    if (!withUserStore(fold, refused)) {
        for (const auto &[product, entries] : run.made())
            failures << unrecorded(product, entries, userFolder(), refused);
        if (run.made().empty())
            failures << QStringLiteral("The user's receipts could not be updated: %1").arg(refused);
    }
    problem = failures.join(QLatin1Char('\n'));
    return failures.isEmpty();
}

bool ReceiptBook::forgetUserPart(const QString &product, QString &problem,
                                 const JournalKeeper &before)
{
    if (userFolder().isEmpty())
        return true;
    std::string why;
    bool removed = false;
    if (!withUserStore(
            [&](const helper::ReceiptStore &store) {
                removed =
                    (!before || before(helper::receiptFileName(product.toStdString()), why)) &&
                    store.remove(product.toStdString(), why);
            },
            problem))
        return false;
    if (!removed)
        problem = QString::fromStdString(why);
    return removed;
}

std::optional<helper::StoreLock> ReceiptBook::prepareUserStore(QString &problem,
                                                               QString *notice) const
{
    problem.clear();
    QString folder = userFolder();
    if (folder.isEmpty())
        return std::nullopt;
    std::optional<helper::StoreLock> lock;
    std::string why;
    QString refusal;
    const helper::FolderOpener open = userSideOpener();
    helper::Transaction::Recovered recovered;
    const auto prepare = [&](const helper::ReceiptStore &store) {
        lock = store.prepare(why);
        if (lock)
            recovered = helper::Transaction::recover(lock->folder(), store.folder(), open);
    };
    if (!withUserStore(prepare, refusal))
        why = refusal.toStdString();
    if (lock && recovered.found && !recovered.end.ok) {
        problem = interruptedProblem(recovered.end.problem);
        return std::nullopt;
    }
    if (lock && recovered.found && !recovered.committed && notice)
        *notice = interruptedNotice();
    if (lock)
        return lock;
    if (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    QString reason = QString::fromStdString(why);
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    problem = QStringLiteral("The receipts cannot be kept in %1: %2.").arg(folder, reason);
    return std::nullopt;
}

QString ReceiptBook::recoverUserStore() const
{
    if (userFolder().isEmpty())
        return QString();
    const helper::FolderOpener open = userSideOpener();
    helper::Transaction::Recovered recovered;
    QString refusal; // no store to act in holds nothing to undo
    withUserStore(
        [&](const helper::ReceiptStore &store) {
            if (const std::optional<helper::StoreLock> lock = store.lockIfIdle())
                recovered = helper::Transaction::recover(lock->folder(), store.folder(), open);
            // A store that a killed run made and left empty goes, as after any run.
            if (!recovered.found || recovered.end.ok)
                store.removeEmptyStore();
        },
        refusal);
    return recovered.found && recovered.end.ok && !recovered.committed ? interruptedNotice()
                                                                       : QString();
}

helper::FolderOpener ReceiptBook::userSideOpener()
{
    // Whose links lead to the user's data folder: a user's own, in a run of
    // the user's; none but root's in root's run, whoever it acts as.
    std::optional<uid_t> linkOwner;
    if (::geteuid() != 0)
        linkOwner = ::geteuid();
    const helper::SplitPath data = helper::splitPath(
        QFile::encodeName(QDir::cleanPath(userDataFolderOfThisProcess())).toStdString(), true);
    return UserSideOperations::opener(data.ok ? data.components : helper::PathComponents(),
                                      linkOwner);
}

void ReceiptBook::tidyUserStore() const
{
    if (userFolder().isEmpty())
        return;
    QString problem; // a folder left behind holds nothing and harms nothing
    withUserStore([](const helper::ReceiptStore &store) { store.removeEmptyStore(); }, problem);
}
