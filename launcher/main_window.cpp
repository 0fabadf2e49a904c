#include "launcher/main_window.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "launcher/controls/empty_area_tip.h"
#include "launcher/controls/outer_size.h"
#include "launcher/controls/port_box.h"
#include "launcher/controls/window_icon.h"
#include "launcher/options/options_menu.h"
#include "launcher/prepare_site.h"
#include "launcher/site_shortcuts.h"
#include "launcher/toggle_site.h"

namespace {

template <typename Control>
Control* place(QWidget* window, const char* name, QRect where, const QString& text = {}) {
    auto* control = new Control(text, window);
    control->setObjectName(QString::fromUtf8(name));
    control->setGeometry(where);
    return control;
}

}  // namespace

MainWindow::MainWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("网站启动"));
    setWindowIcon(site_icon());

    place<QLabel>(this, "标签2", {12, 8, 32, 24}, QStringLiteral("路径"));
    path_box_ = place<QLineEdit>(this, "编辑框_路径", {48, 8, 168, 24});
    place<QLabel>(this, "标签1", {12, 47, 32, 24}, QStringLiteral("端口"));
    port_box_ = place<QLineEdit>(this, "编辑框_端口", {48, 47, 72, 24});
    new PortInputFilter(port_box_);
    auto* open_folder =
        place<QPushButton>(this, "按钮_打开目录", {140, 47, 72, 24}, QStringLiteral("打开目录"));
    start_button_ =
        place<QPushButton>(this, "按钮_启动网站", {12, 80, 72, 24}, QStringLiteral("启动网站"));
    auto* open_page =
        place<QPushButton>(this, "按钮_打开网站", {140, 80, 72, 24}, QStringLiteral("打开网站"));

    connect(open_folder, &QPushButton::clicked, this, [this] { open_site_folder(*this); });
    connect(start_button_, &QPushButton::clicked, this, [this] { toggle_site(*this); });
    connect(open_page, &QPushButton::clicked, this, [this] { open_site_page(*this); });

    keep_outer_size(*this, kOuterSize);
    prepare_site(*this);
}

QString MainWindow::base_path() const { return path_box_->text(); }

QString MainWindow::port_text() const { return port_box_->text(); }

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        show_empty_area_tip(*this, *static_cast<QHelpEvent*>(event));
        return true;
    }
    return QWidget::event(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    show_options_menu(*this, event->globalPos());
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
