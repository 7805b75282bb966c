// Opening a web address in the user's browser.
#pragma once

#include <QString>

namespace paperloom {

class UrlLauncher {
public:
    virtual ~UrlLauncher() = default;
    /// Hands the address to the desktop and returns at once; the outcome is not looked at.
    virtual void launch(const QString& url) = 0;
};

/// Starts the desktop's URL opener, xdg-open, detached.
class DesktopLauncher final : public UrlLauncher {
public:
    void launch(const QString& url) override;
};

} // namespace paperloom
