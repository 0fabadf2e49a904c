#include "launcher/controls/outer_size.h"

#include <QEvent>
#include <QMargins>
#include <QScreen>
#include <QWidget>

namespace {

// Room kept beyond the controls' right and bottom edges.
constexpr int kControlMargin = 4;

class OuterSizeKeeper : public QObject {
  public:
    OuterSizeKeeper(QWidget& window, QSize outer)
        : QObject(&window), window_(window), outer_(outer) {
        window.installEventFilter(this);
        apply();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WinIdChange:
                apply();
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    void apply() {
        const QSize frame = window_.frameGeometry().size() - window_.geometry().size();
        if (applied_ && frame == frame_) return;
        applied_ = true;
        frame_ = frame;

        const QRect controls = window_.childrenRect();
        const QSize needed(controls.right() + 1 + kControlMargin,
                           controls.bottom() + 1 + kControlMargin);
        const QSize client = (outer_ - frame).expandedTo(needed);
        window_.setFixedSize(client);

        if (const QScreen* screen = window_.screen()) {
            const QSize outer = client + frame;
            const QRect area = screen->availableGeometry();
            window_.move(area.x() + (area.width() - outer.width()) / 2,
                         area.y() + (area.height() - outer.height()) / 2);
        }
    }

    QWidget& window_;
    QSize outer_;
    QSize frame_;
    bool applied_ = false;
};

}  // namespace

void keep_outer_size(QWidget& window, QSize outer) { new OuterSizeKeeper(window, outer); }
