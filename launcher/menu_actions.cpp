#include "launcher/menu_actions.h"

#include <vector>

// A new plain entry is one row here, e.g. {"标签…", function_taking_the_window}.
std::span<const MenuAction> menu_actions() {
    static const std::vector<MenuAction> actions = {};
    return actions;
}
