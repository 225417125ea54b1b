#pragma once

#include "helper/InstallCommand.h"
#include "helper/Receipt.h"
#include "script/Evaluator.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <map>
#include <set>
#include <string>
#include <vector>

// Notes what the user's side of a run made in the user's data folder: the
// folders a `mkdir -p` found missing, what a `cp -R` put there, the links and
// the written files, each only once its command completed. An `rm -f` or a
// `rmdir` that completed is noted as gone. Fed from the thread that runs the
// script, one command after the other; read once the run has ended.
class UserSideRecord
{
public:
    // Element name -> product name, to tell which product a command serves.
    explicit UserSideRecord(QList<QPair<QString, QString>> elementProducts);

    void started(const QString &command);
    void finished(const CommandReport &report);

    // Per product, what now stands where the commands wrote; and the paths
    // that removals took away, whichever product listed them.
    const std::map<std::string, std::vector<helper::ReceiptEntry>> &made() const { return m_made; }
    const std::set<std::string> &gone() const { return m_gone; }

private:
    void note(const std::string &product, const QString &path, bool recurse);

    QList<QPair<QString, QString>> m_elementProducts;
    QString m_product;
    helper::ParsedCommand m_command;
    QStringList m_missing; // folders missing when the command started
    std::map<std::string, std::vector<helper::ReceiptEntry>> m_made;
    std::set<std::string> m_gone;
};
