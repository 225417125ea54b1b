#pragma once

#include <QUrl>

#include <functional>

// Which link targets the licence view opens, and the desktop's handler that
// opens them. Web pages and mail only: a licence's other links (files,
// bookmarks, custom schemes) are shown but not followed.
namespace LinkOpener {

using Opener = std::function<bool(const QUrl &)>;

bool opens(const QUrl &url);
bool openWithDesktop(const QUrl &url);

} // namespace LinkOpener
