#include "launcher/site_shortcuts.h"

#include "launcher/desktop/desktop_opener.h"
#include "launcher/main_window.h"
#include "site/paths.h"

void open_site_page(MainWindow& window) {
    open_on_desktop(QStringLiteral("http://127.0.0.1:") + window.port_text(), DesktopTarget::Url);
}

void open_site_folder(MainWindow& window) {
    open_on_desktop(QString::fromStdString(site::site_folder(window.base_path().toStdString())),
                    DesktopTarget::Folder);
}
