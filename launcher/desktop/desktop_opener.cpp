#include "launcher/desktop/desktop_opener.h"

#include <QProcess>
#include <QStringList>

namespace {

DesktopOpener& replacement() {
    static DesktopOpener opener;
    return opener;
}

// The text goes to the platform's opener untouched: QUrl would normalise or refuse odd text.
// xdg-open tells a URL from a folder by itself.
void open_with_platform(const QString& target, DesktopTarget) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {target});
}

}  // namespace

void open_on_desktop(const QString& target, DesktopTarget kind) {
    if (replacement()) {
        replacement()(target, kind);
    } else {
        open_with_platform(target, kind);
    }
}

void set_desktop_opener(DesktopOpener opener) { replacement() = std::move(opener); }
