#include "launcher/options/options_menu.h"

#include <QAction>
#include <QMenu>

#include "launcher/desktop/message_box.h"
#include "launcher/main_window.h"
#include "launcher/options/option_settings.h"
#include "launcher/site_server.h"
#include "server/http_server.h"
#include "site/paths.h"

namespace {

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The menu shows the file's state, so a change that cannot be saved changes nothing else either.
void choose_option(const std::string& base_path, const SiteOption& option, bool on) {
    if (!remember_option(base_path, option, on)) {
        show_information(QStringLiteral("选项未能保存到 ") +
                         QString::fromStdString(site::settings_file(base_path)));
        return;
    }
    if (option.effect == TakesEffect::kAtOnce && site_server->IsRunning())
        site_server->SetOption(option.option, on);
}

}  // namespace

void show_options_menu(MainWindow& window, const QPoint& where) {
    QMenu menu(&window);
    menu.setObjectName(QStringLiteral("options_menu"));
    add_option_entries(menu, window.base_path().toStdString(), site_options());
    if (!menu_actions().empty()) {
        menu.addSeparator();
        add_action_entries(menu, window, menu_actions());
    }
    menu.exec(where);
}

QString option_label(const SiteOption& option, bool site_running) {
    QString label = utf8(option.label);
    if (site_running && option.effect == TakesEffect::kNextStart)
        label += QStringLiteral("（下次启动生效）");
    return label;
}

void add_option_entries(QMenu& menu, const std::string& base_path,
                        std::span<const SiteOption> options) {
    const bool running = site_server->IsRunning();
    for (const SiteOption& option : options) {
        QAction* entry = menu.addAction(option_label(option, running));
        entry->setCheckable(true);
        entry->setChecked(option_remembered_on(base_path, option));
        QObject::connect(entry, &QAction::triggered, &menu,
                         [base_path, option](bool on) { choose_option(base_path, option, on); });
    }
}

void add_action_entries(QMenu& menu, MainWindow& window, std::span<const MenuAction> actions) {
    for (const MenuAction& action : actions) {
        QAction* entry = menu.addAction(utf8(action.label));
        entry->setEnabled(!action.available || action.available(window));
        QObject::connect(entry, &QAction::triggered, &menu,
                         [&window, run = action.run] { run(window); });
    }
}
