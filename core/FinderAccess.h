#pragma once

#include <QString>
#include <optional>

// Whether the installer may automate the file manager. The raw values are the
// very answers of the access probe script.
enum class FinderAccess
{
    unknown,
    denied,
    allowed
};

namespace FinderAccessInfo {

inline QString rawValue(FinderAccess access)
{
    switch (access) {
    case FinderAccess::denied:
        return QStringLiteral("0");
    case FinderAccess::allowed:
        return QStringLiteral("1");
    case FinderAccess::unknown:
        break;
    }
    return QStringLiteral("-1");
}

// Exact, whole-text match; anything else is no value.
inline std::optional<FinderAccess> fromRawValue(const QString &raw)
{
    for (FinderAccess access :
         {FinderAccess::unknown, FinderAccess::denied, FinderAccess::allowed}) {
        if (raw == rawValue(access))
            return access;
    }
    return std::nullopt;
}

} // namespace FinderAccessInfo
