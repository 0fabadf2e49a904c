#include "launcher/prepare_site.h"

#include <QLineEdit>

#include "launcher/main_window.h"
#include "launcher/random_between.h"
#include "launcher/reported_writes.h"
#include "site/defaults.h"
#include "site/file_ops.h"
#include "site/paths.h"
#include "site/settings.h"

namespace {

// Random default ports start here; with this generator they never exceed 42766.
constexpr std::uint32_t kLowestDefaultPort = 9999;
constexpr std::uint32_t kHighestDefaultPort = 65000;

std::string base_path(const MainWindow& window) { return window.base_path().toStdString(); }

void write_if_missing(const std::string& path, std::string_view bytes) {
    if (!site::exists(path)) write_file_or_report(path, bytes);
}

}  // namespace

void prepare_site(MainWindow& window) {
    window.path_box()->setText(QString::fromStdString(site::run_directory()));

    // The settings are read before the folder is made, so a first run shows the random port.
    const std::string settings = site::settings_file(base_path(window));
    const std::string random_port =
        std::to_string(random_between(kLowestDefaultPort, kHighestDefaultPort));
    window.port_box()->setText(
        QString::fromStdString(site::read_setting(settings, "Config", "Port", random_port)));

    site::create_folder(site::site_folder(base_path(window)));
    write_if_missing(site::icon_file(base_path(window)), site::default_icon());
    write_if_missing(site::index_file(base_path(window)), site::default_index_page());
}
