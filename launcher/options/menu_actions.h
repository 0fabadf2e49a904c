#pragma once

#include <span>
#include <string_view>

class MainWindow;

// A plain (not checkable) entry of the window's options menu, shown below the options.
struct MenuAction {
    std::string_view label;  // UTF-8
    void (*run)(MainWindow& window);
    bool (*available)(const MainWindow& window) = nullptr;  // null: always
};

// Every plain entry of the menu, in menu order.
std::span<const MenuAction> menu_actions();
