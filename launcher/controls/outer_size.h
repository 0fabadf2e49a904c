#pragma once

#include <QSize>

class QWidget;

// Holds a top-level window at a fixed outer size, frame and title bar included, centred on its
// screen. The frame's size is known only once the window system has decorated the window, so the
// client size is worked out again whenever the frame changes. The client area never shrinks below
// what its controls need, whatever the frame takes.
void keep_outer_size(QWidget& window, QSize outer);
