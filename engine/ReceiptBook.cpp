#include "engine/ReceiptBook.h"

#include "engine/ProductNames.h"
#include "engine/RunLog.h"
#include "helper/ReceiptStore.h"
#include "helper/SystemLocations.h"

#include <algorithm>
#include <map>

namespace {

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

std::map<std::string, helper::Receipt> loadFrom(const QString &folder, QStringList &damaged)
{
    std::map<std::string, helper::Receipt> receipts;
    if (folder.isEmpty())
        return receipts;
    std::vector<std::string> bad;
    std::string problem;
    if (!helper::ReceiptStore(withSlash(folder).toStdString()).load(receipts, bad, problem))
        damaged << QStringLiteral("%1: %2").arg(folder, QString::fromStdString(problem));
    for (const std::string &line : bad)
        damaged << QString::fromStdString(line);
    return receipts;
}

} // namespace

ReceiptBook::ReceiptBook()
    : m_system(QString::fromUtf8(helper::locations::receipts.data(),
                                 qsizetype(helper::locations::receipts.size()))),
      m_user(defaultUserFolder())
{}

QString ReceiptBook::defaultUserFolder()
{
    const QString state = RunLog::defaultFolder();
    return state.isEmpty() ? QString() : state + QStringLiteral("/receipts/");
}

void ReceiptBook::setFolders(const QString &system, const QString &user)
{
    m_system = system;
    m_user = user;
}

QList<InstalledProduct> ReceiptBook::load()
{
    m_damaged.clear();
    std::map<std::string, InstalledProduct> joined;
    for (auto &[name, receipt] : loadFrom(m_system, m_damaged)) {
        joined[name].name = QString::fromStdString(name);
        joined[name].system = std::move(receipt);
    }
    for (auto &[name, receipt] : loadFrom(m_user, m_damaged)) {
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
                         QString &problem)
{
    if (m_user.isEmpty() || (run.made().empty() && run.gone().empty()))
        return true;
    QStringList damaged;
    std::map<std::string, helper::Receipt> receipts = loadFrom(m_user, damaged);
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
    const helper::ReceiptStore store(withSlash(m_user).toStdString());
    bool ok = true;
    for (auto &[product, receipt] : receipts) {
        if (!changed[product])
            continue;
        std::string why;
        receipt.version = QUORVANTIC_VERSION;
        receipt.time = helper::utcNow();
        receipt.user = user.toStdString();
        const bool done =
            receipt.entries.empty() ? store.remove(product, why) : store.write(receipt, why);
        if (!done) {
            problem = QString::fromStdString(why);
            ok = false;
        }
    }
    return ok;
}

bool ReceiptBook::forgetUserPart(const QString &product, QString &problem)
{
    if (m_user.isEmpty())
        return true;
    std::string why;
    if (helper::ReceiptStore(withSlash(m_user).toStdString()).remove(product.toStdString(), why))
        return true;
    problem = QString::fromStdString(why);
    return false;
}
