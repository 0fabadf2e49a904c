#include "launcher/controls/empty_area_tip.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include "launcher/main_window.h"

namespace {

// Asks for a tooltip at `where` (window coordinates) the way the application does once the
// pointer rests: at the control under the pointer, passed on to the window when it has none.
void rest_pointer(MainWindow& window, QPoint where) {
    QWidget* under = window.childAt(where);
    if (under == nullptr) under = &window;
    QHelpEvent event(QEvent::ToolTip, under->mapFrom(&window, where), window.mapToGlobal(where));
    QApplication::sendEvent(under, &event);
}

void hide_tip() {
    QToolTip::hideText();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
}

TEST(EmptyAreaTip, ShowsOverTheEmptyAreaOnly) {
    MainWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    for (const char* control : {"标签2", "编辑框_路径", "标签1", "编辑框_端口", "按钮_打开目录",
                                "按钮_启动网站", "按钮_打开网站"}) {
        SCOPED_TRACE(control);
        hide_tip();
        rest_pointer(window,
                     window.findChild<QWidget*>(QString::fromUtf8(control))->geometry().center());
        EXPECT_FALSE(QToolTip::isVisible());
    }

    for (const QPoint where : {QPoint(130, 59), QPoint(2, 2), QPoint(110, 92), QPoint(200, 130)}) {
        SCOPED_TRACE(where.x());
        hide_tip();
        rest_pointer(window, where);
        EXPECT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(QToolTip::text(), QStringLiteral("右键：更多选项"));
    }
    hide_tip();
}

}  // namespace
