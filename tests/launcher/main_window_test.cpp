#include "launcher/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "site/defaults.h"

namespace {

// Types each character as a key press carrying that text, as an input method delivers
// non-ASCII characters (QTest::keyClicks only knows ASCII).
void type_text(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c == u'\b') {
            QTest::keyClick(widget, Qt::Key_Backspace);
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

struct ControlCase {
    const char* name;
    QRect geometry;
    const char* text;
};

// Every control, where it stands in the client area and what it says at start-up.
const ControlCase kControls[] = {
    {"标签2", {12, 8, 32, 24}, "路径"},
    {"编辑框_路径", {48, 8, 168, 24}, nullptr},
    {"标签1", {12, 47, 32, 24}, "端口"},
    {"编辑框_端口", {48, 47, 72, 24}, nullptr},
    {"按钮_打开目录", {140, 47, 72, 24}, "打开目录"},
    {"按钮_启动网站", {12, 80, 72, 24}, "启动网站"},
    {"按钮_打开网站", {140, 80, 72, 24}, "打开网站"},
};

QString control_text(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
    return {};
}

TEST(MainWindow, ShowsEveryControlInItsPlaceWithItsText) {
    MainWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_EQ(window.windowTitle(), QStringLiteral("网站启动"));
    for (const ControlCase& c : kControls) {
        SCOPED_TRACE(c.name);
        auto* control = window.findChild<QWidget*>(QString::fromUtf8(c.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), c.geometry);
        EXPECT_TRUE(control->isVisible());
        EXPECT_TRUE(window.rect().contains(control->geometry()));
        if (c.text) {
            EXPECT_EQ(control_text(control), QString::fromUtf8(c.text));
        }
    }
}

TEST(MainWindow, HasAFixedFrameWithoutMaximiseBox) {
    MainWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Without a window-system frame (offscreen) the client area is the whole outer size.
    EXPECT_EQ(window.frameGeometry().size(), QSize(231, 142));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnTopHint));

    // The window's icon is the favicon's picture, as Qt's own ICO reader decodes it.
    const std::string_view ico = site::default_icon();
    const QImage favicon = QImage::fromData(reinterpret_cast<const uchar*>(ico.data()),
                                            static_cast<int>(ico.size()), "ICO");
    ASSERT_FALSE(favicon.isNull());
    EXPECT_EQ(window.windowIcon().pixmap(128, 128).toImage().convertToFormat(QImage::Format_ARGB32),
              favicon.convertToFormat(QImage::Format_ARGB32));

    const QRect screen = window.screen()->availableGeometry();
    EXPECT_LE(std::abs(window.frameGeometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window.frameGeometry().center().y() - screen.center().y()), 1);
}

TEST(MainWindow, EscClosesFromEveryControl) {
    for (const ControlCase& c : kControls) {
        SCOPED_TRACE(c.name);
        MainWindow window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        auto* control = window.findChild<QWidget*>(QString::fromUtf8(c.name));
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible());
    }
}

class PortBox : public testing::Test {
  protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        box = window.port_box();
        box->setFocus();
    }

    void set_and_type(const QString& initial, const QString& typed) {
        box->setText(initial);
        box->setCursorPosition(static_cast<int>(initial.size()));
        type_text(box, typed);
    }

    MainWindow window;
    QLineEdit* box = nullptr;
};

struct TypingCase {
    const char* initial;
    const char* typed;
    const char* expected;
};

TEST_F(PortBox, KeepsOnlyDigitsAndMinusUpToFiveCharacters) {
    const TypingCase cases[] = {
        {"", "8080", "8080"},
        {"", "80a8b0", "8080"},
        {"", "12345", "12345"},
        {"", "123456", "12345"},
        {"", "-1-2-", "-1-2-"},
        {"", "1.5 e+", "15"},
        {"", "端口８", ""},
        {"123", "\b", "12"},
        {"12345", "\b\b9", "1239"},
        {"abc123456", "7", "abc123456"},
        {"abc123456", "\b", "abc12345"},
    };
    for (const TypingCase& c : cases) {
        SCOPED_TRACE(std::string(c.initial) + " + " + c.typed);
        set_and_type(QString::fromUtf8(c.initial), QString::fromUtf8(c.typed));
        EXPECT_EQ(box->text(), QString::fromUtf8(c.expected));
    }
}

TEST_F(PortBox, RefusesAMinusTypedInTheMiddleNoMoreThanOtherDigits) {
    box->setText(QStringLiteral("8080"));
    box->setCursorPosition(2);
    QTest::keyClick(box, Qt::Key_Minus);
    EXPECT_EQ(box->text(), QStringLiteral("80-80"));
    QTest::keyClick(box, Qt::Key_A);
    EXPECT_EQ(box->text(), QStringLiteral("80-80"));
    EXPECT_EQ(box->cursorPosition(), 3);
}

TEST_F(PortBox, PastesOnlyWhatTypingWouldAllow) {
    const TypingCase cases[] = {
        {"", "8080", "8080"}, {"80", "80", "8080"},  {"", "80 80", ""},
        {"", "123456", ""},   {"123", "456", "123"}, {"", "-9", "-9"},
    };
    for (const TypingCase& c : cases) {
        SCOPED_TRACE(std::string(c.initial) + " + paste " + c.typed);
        box->setText(QString::fromUtf8(c.initial));
        QApplication::clipboard()->setText(QString::fromUtf8(c.typed));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(box->text(), QString::fromUtf8(c.expected));
    }
}

TEST_F(PortBox, KeepsLongTextThatTheProgramSets) {
    const QString remembered = QStringLiteral("abc123456 端口 ８０");
    box->setText(remembered);
    EXPECT_EQ(box->text(), remembered);
    QTest::keyClick(box, Qt::Key_1);
    EXPECT_EQ(box->text(), remembered);
}

TEST(PathBox, TakesAnyTextWithoutLimit) {
    MainWindow window;
    const QString long_path = QStringLiteral("/tmp/") + QString(500, QChar(u'路'));
    window.path_box()->clear();
    type_text(window.path_box(), long_path);
    EXPECT_EQ(window.base_path(), long_path);
}

}  // namespace
