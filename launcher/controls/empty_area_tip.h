#pragma once

#include <QString>

class QHelpEvent;
class QWidget;

// The hint that leads to the window's options menu.
inline const QString kOptionsMenuHint = QStringLiteral("右键：更多选项");

// Answers a tooltip request that reached the window: over its empty area the hint shows, over a
// control (none has a tooltip of its own) nothing does.
void show_empty_area_tip(QWidget& window, QHelpEvent& event);
