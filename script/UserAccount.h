#pragma once

#include <QString>

#include <optional>
#include <vector>

// An account as the password and group databases give it: what a shell that
// runs for this user is given, whatever the caller's environment says.
struct UserAccount
{
    unsigned uid = 0;
    unsigned gid = 0;
    std::vector<unsigned> groups; // supplementary groups, the primary one included
    QString name;
    QString home; // empty when the account names no absolute home
};

// The account with this numeric id, or nothing when there is none.
std::optional<UserAccount> accountOf(unsigned uid);

// The owner of `path`, or of the nearest folder above it that exists.
std::optional<unsigned> ownerOfNearest(const QString &path);
