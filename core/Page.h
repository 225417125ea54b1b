#pragma once

#include <array>
#include <optional>

// The wizard's pages, in the order the user walks through them.
enum class Page : int
{
    intro = 0,
    license = 1,
    install = 2,
    summary = 3
};

namespace PageInfo {

inline constexpr std::array<Page, 4> allCases{Page::intro, Page::license, Page::install,
                                              Page::summary};

constexpr int rawValue(Page page)
{
    return static_cast<int>(page);
}

constexpr std::optional<Page> fromRawValue(int raw)
{
    if (raw < 0 || raw >= static_cast<int>(allCases.size()))
        return std::nullopt;
    return static_cast<Page>(raw);
}

} // namespace PageInfo
