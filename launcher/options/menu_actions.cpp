#include "launcher/options/menu_actions.h"

#include "launcher/main_window.h"
#include "launcher/share/share_dialog.h"
#include "launcher/site_server.h"

namespace {

void open_share_dialog(MainWindow& window) { show_share_dialog(&window, window.port_text()); }

bool share_available(const MainWindow&) { return share_dialog_available(*site_server); }

// A new plain entry is one row here: its label, what it does, and when it can be chosen.
const MenuAction kMenuActions[] = {
    {kShareActionText, &open_share_dialog, &share_available},
};

}  // namespace

std::span<const MenuAction> menu_actions() { return kMenuActions; }
