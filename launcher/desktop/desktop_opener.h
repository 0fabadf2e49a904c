#pragma once

#include <QString>
#include <functional>

// Hands a URL to the default browser or a folder to the file manager, exactly as given: nothing is
// trimmed, checked or repaired, and the outcome is not looked at.
enum class DesktopTarget { Url, Folder };

void open_on_desktop(const QString& target, DesktopTarget kind);

using DesktopOpener = std::function<void(const QString& target, DesktopTarget kind)>;

// Replaces the desktop opener (tests capture what would be handed over); empty restores the real
// one.
void set_desktop_opener(DesktopOpener opener);
