#include "launcher/toggle_site.h"

#include <QPushButton>

#include "launcher/controls/port_number.h"
#include "launcher/desktop/message_box.h"
#include "launcher/main_window.h"
#include "launcher/options/option_settings.h"
#include "launcher/reported_writes.h"
#include "launcher/site_server.h"
#include "server/http_server.h"
#include "server/store_map.h"
#include "site/defaults.h"
#include "site/paths.h"

namespace {

std::int32_t port_number(const QString& port_text) {
    return port_number_from_text(std::u16string_view(
        reinterpret_cast<const char16_t*>(port_text.utf16()), port_text.size()));
}

void stop_site(MainWindow& window) {
    site_server->Stop();
    window.start_button()->setText(QStringLiteral("启动网站"));
    window.setWindowTitle(QStringLiteral("网页未启动"));
}

void start_site(MainWindow& window) {
    // The not-found page is written anew before every attempt, also one that then fails.
    write_file_or_report(site::not_found_file(window.base_path().toStdString()),
                         site::not_found_page());

    // Options are read on every start, so one changed while the site was stopped counts now.
    apply_remembered_options(window.base_path().toStdString());
    auto config = CreateStoreMap("port", port_number(window.port_text()));
    const bool started = site_server->Start(*config, false);
    config.reset();
    if (!started) {
        show_information(QStringLiteral("启动失败,可能端口被占用,请换个端口"));
        return;
    }

    // The box's text is remembered as typed, not the number it was read as.
    write_setting_or_report(site::settings_file(window.base_path().toStdString()), "Config", "Port",
                            window.port_text().toStdString());
    window.start_button()->setText(QStringLiteral("停止网站"));
    window.setWindowTitle(QStringLiteral("网页已启动"));
}

}  // namespace

void toggle_site(MainWindow& window) {
    site_server->Init(site::site_folder(window.base_path().toStdString()));
    if (site_server->IsRunning()) {
        stop_site(window);
    } else {
        start_site(window);
    }
}
