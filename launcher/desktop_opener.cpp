#include "launcher/desktop_opener.h"

#include <QProcess>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

DesktopOpener& replacement() {
    static DesktopOpener opener;
    return opener;
}

// The text goes to the platform's opener untouched: QUrl would normalise or refuse odd text.
void open_with_platform(const QString& target, DesktopTarget kind) {
#if defined(Q_OS_WIN)
    const wchar_t* verb = kind == DesktopTarget::Url ? L"open" : L"explore";
    ShellExecuteW(nullptr, verb, reinterpret_cast<const wchar_t*>(target.utf16()), nullptr, nullptr,
                  SW_SHOWNORMAL);
#elif defined(Q_OS_MACOS)
    Q_UNUSED(kind);
    QProcess::startDetached(QStringLiteral("open"), {target});
#else
    Q_UNUSED(kind);
    QProcess::startDetached(QStringLiteral("xdg-open"), {target});
#endif
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
