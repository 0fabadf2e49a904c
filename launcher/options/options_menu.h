#pragma once

#include <QString>
#include <span>
#include <string>

#include "launcher/options/menu_actions.h"
#include "launcher/options/site_options.h"

class MainWindow;
class QMenu;
class QPoint;

// Opens the window's options menu at `where` (screen coordinates) and returns once it closes.
void show_options_menu(MainWindow& window, const QPoint& where);

// An option's entry text: while the site runs, an option that waits for the next start says so.
QString option_label(const SiteOption& option, bool site_running);

// One checkable entry per option, checked as web/Config.web under `base_path` says now. Choosing
// one remembers it there at once and, while the site runs, switches the server where its row says.
void add_option_entries(QMenu& menu, const std::string& base_path,
                        std::span<const SiteOption> options);

// One plain entry per action, each running its action on the window.
void add_action_entries(QMenu& menu, MainWindow& window, std::span<const MenuAction> actions);
