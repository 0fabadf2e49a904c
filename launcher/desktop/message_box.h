#pragma once

#include <QString>
#include <functional>

// The launcher's one report to the user: an information box with an OK button, owned by no window
// and modal to the application. Tests replace the box through the seam to answer or capture it.
void show_information(const QString& text);

using InformationBox = std::function<void(const QString& text)>;

// Replaces how the box is shown; an empty function restores the real box.
void set_information_box(InformationBox box);
