#include "launcher/controls/empty_area_tip.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

void show_empty_area_tip(QWidget& window, QHelpEvent& event) {
    if (window.childAt(event.pos()) == nullptr) {
        QToolTip::showText(event.globalPos(), kOptionsMenuHint, &window);
    } else {
        QToolTip::hideText();
        event.ignore();
    }
}
