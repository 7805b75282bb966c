// The desktop's URL opener, started detached and never waited for.
#include "platform/UrlLauncher.h"

#include <QProcess>

namespace paperloom {

void DesktopLauncher::launch(const QString& url) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {url});
}

} // namespace paperloom
