#include "launcher/options/options_menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <optional>

#include "launcher/desktop/message_box.h"
#include "launcher/main_window.h"
#include "launcher/options/option_settings.h"
#include "launcher/site_server.h"
#include "server/http_server.h"
#include "site/settings.h"
#include "test_support.h"
#include "tests/server/support/test_site.h"

namespace {

using namespace test_support;

const QString kLiveReload = QStringLiteral("自动刷新");

// What a popup menu showed when it opened.
struct Popup {
    bool opened = false;
    QString name;
    std::vector<std::pair<QString, bool>> entries;  // text, checked
    std::vector<QString> disabled;

    bool is_options_menu() const { return opened && name == QStringLiteral("options_menu"); }
    std::optional<bool> checked(const QString& text) const {
        for (const auto& [entry, on] : entries)
            if (entry == text) return on;
        return std::nullopt;
    }
};

// Records the popup, then clicks the entry `choose` or, without one, closes the popup.
void answer_popup(QMenu& menu, const QString& choose, Popup& seen) {
    seen.opened = true;
    seen.name = menu.objectName();
    for (QAction* action : menu.actions())
        if (!action->isSeparator()) {
            seen.entries.emplace_back(action->text(), action->isChecked());
            if (!action->isEnabled()) seen.disabled.push_back(action->text());
        }
    for (QAction* action : menu.actions()) {
        if (!choose.isEmpty() && action->text() == choose) {
            QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(action).center());
            return;
        }
    }
    menu.close();
}

// Right-clicks at `where` (window coordinates) through the window system, as a mouse does. The
// options menu blocks until it closes, so a timer answers it; a popup that does not block (the
// text boxes' own menus) is answered once the click has returned.
Popup right_click(MainWindow& window, QPoint where, const QString& choose = {}) {
    Popup seen;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            answer.stop();
            answer_popup(*menu, choose, seen);
        }
    });
    answer.start();
    QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, where);
    answer.stop();
    if (!seen.opened) {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            answer_popup(*menu, choose, seen);
    }
    return seen;
}

QPoint centre_of(MainWindow& window, const char* control) {
    return window.findChild<QWidget*>(QString::fromUtf8(control))->geometry().center();
}

void switch_every_server_option_off() {
    for (std::size_t i = 0; i < static_cast<std::size_t>(ServeOption::kCount); ++i)
        site_server->SetOption(static_cast<ServeOption>(i), false);
}

class OptionsMenu : public testing::Test {
  protected:
    void SetUp() override {
        set_information_box([this](const QString& text) { messages.push_back(text); });
        std::filesystem::create_directory(folder.web());
        window.path_box()->setText(QString::fromStdString(folder.text()));
        port = UnusedPort();
        window.port_box()->setText(QString::number(port));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void TearDown() override {
        set_information_box({});
        site_server->Stop();
        // The server object lives as long as the test program: leave no option on for others.
        switch_every_server_option_off();
    }

    std::filesystem::path config_path() const { return folder.web() / "Config.web"; }
    std::string config() const { return read_file(config_path()); }
    void start_or_stop() { QTest::mouseClick(window.start_button(), Qt::LeftButton); }
    bool live_reload_on() const { return site_server->OptionOn(ServeOption::kLiveReload); }

    TempFolder folder;
    MainWindow window;
    int port = 0;
    std::vector<QString> messages;
};

TEST_F(OptionsMenu, OpensFromTheLabelsTheButtonsAndTheEmptyArea) {
    const std::pair<const char*, QPoint> places[] = {
        {"标签2", centre_of(window, "标签2")},
        {"标签1", centre_of(window, "标签1")},
        {"按钮_打开目录", centre_of(window, "按钮_打开目录")},
        {"按钮_启动网站", centre_of(window, "按钮_启动网站")},
        {"按钮_打开网站", centre_of(window, "按钮_打开网站")},
        {"between the port box and 打开目录", {130, 59}},
        {"between the buttons", {110, 92}},
        {"top left corner", {2, 2}},
        {"below the buttons", {200, 130}},
    };
    for (const auto& [name, where] : places) {
        SCOPED_TRACE(name);
        const Popup popup = right_click(window, where);
        EXPECT_TRUE(popup.is_options_menu());
        EXPECT_EQ(popup.checked(kLiveReload), false);
    }
    // Nothing was chosen: the site did not start and no file was written.
    EXPECT_FALSE(site_server->IsRunning());
    EXPECT_FALSE(std::filesystem::exists(config_path()));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("网站启动"));
}

TEST_F(OptionsMenu, TextBoxesKeepTheirOwnEditMenu) {
    for (const char* box : {"编辑框_路径", "编辑框_端口"}) {
        SCOPED_TRACE(box);
        const Popup popup = right_click(window, centre_of(window, box));
        EXPECT_TRUE(popup.opened);
        EXPECT_FALSE(popup.is_options_menu());
        EXPECT_FALSE(popup.checked(kLiveReload).has_value());
    }
}

TEST_F(OptionsMenu, ChecksShowWhatConfigWebSaysEachTimeItOpens) {
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {std::nullopt, false},
        {"[Config]\nPort=8080\n", false},
        {"[Config]\nLiveReload=1\n", true},
        {"[Config]\r\nLiveReload=0\r\n", false},
        {"[config]\r\n  livereload = 1  \r\n", true},
        {"[Config]\nLiveReload=yes\n", false},
        {"[Config]\nLiveReload=2\n", false},
        {"[Config]\nLiveReload=\n", false},
        {"[Config]\nLiveReload\n", false},
        {"[Other]\nLiveReload=1\n", false},
    };
    for (const auto& [file, on] : cases) {
        SCOPED_TRACE(file.value_or("(no file)"));
        if (file) {
            write_file(config_path(), *file);
        } else {
            std::filesystem::remove(config_path());
        }
        EXPECT_EQ(right_click(window, {130, 59}).checked(kLiveReload), on);
    }
}

TEST_F(OptionsMenu, ReadsTheFolderThePathBoxNamesWhenItOpens) {
    TempFolder other;
    std::filesystem::create_directory(other.web());
    write_file(other.web() / "Config.web", "[Config]\nLiveReload=1\n");

    window.path_box()->setText(QString::fromStdString(other.text()));
    EXPECT_EQ(right_click(window, {130, 59}).checked(kLiveReload), true);
    window.path_box()->setText(QString::fromStdString(folder.text()));
    EXPECT_EQ(right_click(window, {130, 59}).checked(kLiveReload), false);
}

TEST_F(OptionsMenu, ChoosingAnOptionWritesItsKeyAndOnlyItsKey) {
    struct Case {
        std::optional<std::string> before;
        std::string after;
    };
    const Case cases[] = {
        {std::nullopt, "[Config]\nLiveReload=1\n"},
        {"", "[Config]\nLiveReload=1\n"},
        {"; mine\r\n[Other]\r\nLiveReload=0\r\n[Config]\r\nPort=8080\r\n; "
         "note\r\n\r\n[Tail]\r\nx=1",
         "; mine\r\n[Other]\r\nLiveReload=0\r\n[Config]\r\nPort=8080\r\nLiveReload=1\r\n; note\r\n"
         "\r\n[Tail]\r\nx=1"},
        {"[config]\r\n  livereload = 1  \r\nPort=8080\r\n",
         "[config]\r\n  livereload = 0\r\nPort=8080\r\n"},
        // Text after the value is part of it, so this reads as off and the click turns it on.
        {"[Config]\r\nLiveReload=1 ; on\r\n", "[Config]\r\nLiveReload=1\r\n"},
        {"[Config]\nLiveReload=yes\nPort=8080\n", "[Config]\nLiveReload=1\nPort=8080\n"},
        {"[Config]\nPort=8080\nLiveReload=\n", "[Config]\nPort=8080\nLiveReload=1\n"},
        {"[Config]\r\nPort=8080\r\nLiveReload=0", "[Config]\r\nPort=8080\r\nLiveReload=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before.value_or("(no file)"));
        if (c.before) {
            write_file(config_path(), *c.before);
        } else {
            std::filesystem::remove(config_path());
        }
        EXPECT_TRUE(right_click(window, {130, 59}, kLiveReload).is_options_menu());
        EXPECT_EQ(config(), c.after);
        // The site is not running: the server is switched only when it starts.
        EXPECT_FALSE(live_reload_on());
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(OptionsMenu, AnOptionThatCannotBeSavedIsReportedAndChangesNothing) {
    start_or_stop();
    ASSERT_TRUE(site_server->IsRunning());
    // The path box now names a folder without a site folder, so there is nowhere to save.
    TempFolder without_site_folder;
    window.path_box()->setText(QString::fromStdString(without_site_folder.text()));

    right_click(window, {130, 59}, kLiveReload);

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("选项未能保存到 ")));
    EXPECT_FALSE(std::filesystem::exists(without_site_folder.web()));
    EXPECT_FALSE(live_reload_on());
}

TEST_F(OptionsMenu, StartSwitchesTheServerAsConfigWebSaysAndLeavesTheFileAlone) {
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {"1", true}, {"0", false}, {std::nullopt, false}, {"yes", false}, {"2", false}, {"", false},
    };
    for (const auto& [value, on] : cases) {
        SCOPED_TRACE(value.value_or("(no key)"));
        std::string text = "; hand-edited\r\n[Config]\r\nPort=" + std::to_string(port) + "\r\n";
        if (value) text += "LiveReload=" + *value + "\r\n";
        write_file(config_path(), text);
        // The option left from before must not count: the file decides.
        site_server->SetOption(ServeOption::kLiveReload, !on);

        start_or_stop();
        ASSERT_TRUE(site_server->IsRunning());
        EXPECT_EQ(live_reload_on(), on);
        EXPECT_EQ(config(), text);

        start_or_stop();
        EXPECT_FALSE(site_server->IsRunning());
    }
}

TEST_F(OptionsMenu, AnAtOnceOptionSwitchesTheRunningServer) {
    start_or_stop();
    ASSERT_TRUE(site_server->IsRunning());
    const std::string after_start = config();

    EXPECT_EQ(right_click(window, {130, 59}, kLiveReload).checked(kLiveReload), false);
    EXPECT_TRUE(live_reload_on());
    EXPECT_EQ(config(), after_start + "LiveReload=1\n");

    EXPECT_EQ(right_click(window, {130, 59}, kLiveReload).checked(kLiveReload), true);
    EXPECT_FALSE(live_reload_on());
    EXPECT_EQ(config(), after_start + "LiveReload=0\n");
    EXPECT_TRUE(messages.empty());
}

// A row that waits for the next start, as the real table may not have one.
constexpr SiteOption kNextStartRow{"TestNextStart", "局域网访问", ServeOption::kCors,
                                   TakesEffect::kNextStart};
constexpr SiteOption kAtOnceRow{"TestAtOnce", "允许跨域", ServeOption::kCors, TakesEffect::kAtOnce};

TEST_F(OptionsMenu, OnlyANextStartOptionOfARunningSiteSaysItWaits) {
    const QString waits = QStringLiteral("局域网访问（下次启动生效）");
    EXPECT_EQ(option_label(kNextStartRow, false), QStringLiteral("局域网访问"));
    EXPECT_EQ(option_label(kNextStartRow, true), waits);
    EXPECT_EQ(option_label(kAtOnceRow, false), QStringLiteral("允许跨域"));
    EXPECT_EQ(option_label(kAtOnceRow, true), QStringLiteral("允许跨域"));

    // The real table: live reload never waits.
    start_or_stop();
    EXPECT_TRUE(right_click(window, {130, 59}).checked(kLiveReload).has_value());
}

TEST_F(OptionsMenu, ANextStartOptionChosenWhileRunningWaitsForTheNextStart) {
    const SiteOption rows[] = {kNextStartRow};
    start_or_stop();
    ASSERT_TRUE(site_server->IsRunning());

    QMenu menu(&window);
    add_option_entries(menu, folder.text(), rows);
    ASSERT_EQ(menu.actions().size(), 1);
    QAction* entry = menu.actions()[0];
    EXPECT_EQ(entry->text(), QStringLiteral("局域网访问（下次启动生效）"));
    entry->trigger();

    EXPECT_EQ(site::read_setting(config_path().string(), "Config", "TestNextStart", ""), "1");
    EXPECT_FALSE(site_server->OptionOn(ServeOption::kCors));
    start_or_stop();
    apply_remembered_options(folder.text(), rows);  // what a start does with its table
    EXPECT_TRUE(site_server->OptionOn(ServeOption::kCors));
}

TEST_F(OptionsMenu, ThePhoneEntryServesOnlyASiteStartedWithSharingOn) {
    const QString share = QStringLiteral("手机扫码访问…");
    const QString sharing_waits = QStringLiteral("局域网访问（下次启动生效）");
    auto share_enabled = [&] {
        const Popup popup = right_click(window, {130, 59});
        EXPECT_TRUE(popup.checked(share).has_value());
        return std::find(popup.disabled.begin(), popup.disabled.end(), share) ==
               popup.disabled.end();
    };

    EXPECT_FALSE(share_enabled()) << "the site is not running";
    start_or_stop();
    ASSERT_TRUE(site_server->IsRunning());
    EXPECT_FALSE(share_enabled()) << "running on 127.0.0.1 only";
    EXPECT_EQ(right_click(window, {130, 59}, sharing_waits).checked(sharing_waits), false);
    EXPECT_EQ(site::read_setting(config_path().string(), "Config", "Lan", ""), "1");
    EXPECT_FALSE(share_enabled()) << "sharing waits for the next start";

    start_or_stop();
    start_or_stop();
    ASSERT_TRUE(site_server->IsRunning());
    EXPECT_TRUE(share_enabled());
    right_click(window, {130, 59}, share);
    const auto dialogs = window.findChildren<QDialog*>();
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(dialogs[0]->windowTitle(), QStringLiteral("手机扫码访问"));
    EXPECT_TRUE(dialogs[0]->isVisible());
    EXPECT_FALSE(dialogs[0]->isModal());
    dialogs[0]->close();

    start_or_stop();
    EXPECT_FALSE(share_enabled()) << "stopped again";
}

}  // namespace
