#include "launcher/toggle_site.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "launcher/desktop/message_box.h"
#include "launcher/main_window.h"
#include "launcher/site_server.h"
#include "server/http_server.h"
#include "site/defaults.h"
#include "site/settings.h"
#include "test_support.h"
#include "tests/server/support/captured_stderr.h"
#include "tests/server/support/http_client.h"
#include "tests/server/support/test_site.h"

namespace {

using namespace test_support;

const QString kFailureText = QStringLiteral("启动失败,可能端口被占用,请换个端口");

class ToggleSite : public testing::Test {
  protected:
    void SetUp() override {
        set_information_box([this](const QString& text) { messages.push_back(text); });
        std::filesystem::create_directory(folder.web());
        write_file(folder.web() / "index.html", "site A");
        point_at(folder);
        port = UnusedPort();
        window.port_box()->setText(QString::number(port));
    }

    void TearDown() override {
        set_information_box({});
        site_server->Stop();
    }

    void point_at(const TempFolder& site) {
        window.path_box()->setText(QString::fromStdString(site.text()));
    }
    void click_start() { QTest::mouseClick(window.start_button(), Qt::LeftButton); }
    std::string config() const { return read_file(folder.web() / "Config.web"); }
    std::string remembered_port() const {
        return site::read_setting((folder.web() / "Config.web").string(), "Config", "Port", "none");
    }

    TempFolder folder;
    MainWindow window;
    int port = 0;
    std::vector<QString> messages;
};

TEST_F(ToggleSite, StartServesTheFolderAndRemembersThePort) {
    write_file(folder.web() / "404.html", "edited by the user");

    click_start();

    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(window.start_button()->text(), QStringLiteral("停止网站"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("网页已启动"));
    EXPECT_EQ(remembered_port(), std::to_string(port));
    EXPECT_EQ(read_file(folder.web() / "404.html"), site::not_found_page());

    EXPECT_EQ(Get(port, "/").body, "site A");
    const HttpResponse missing = Get(port, "/missing.html");
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.body, site::not_found_page());
}

TEST_F(ToggleSite, SecondClickStopsTheSite) {
    click_start();
    ASSERT_TRUE(port_accepts(port));
    const std::string remembered = config();

    click_start();

    EXPECT_FALSE(site_server->IsRunning());
    EXPECT_FALSE(port_accepts(port));
    EXPECT_EQ(window.start_button()->text(), QStringLiteral("启动网站"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("网页未启动"));
    EXPECT_EQ(config(), remembered);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ToggleSite, FailedStartReportsAndOnlyRewritesTheNotFoundPage) {
    const std::string kept = "; mine\r\n[Other]\r\nx = 1\r\n[Config]\r\nPort=1234\r\n";
    write_file(folder.web() / "Config.web", kept);
    write_file(folder.web() / "404.html", "edited by the user");
    PortHolder holder(port);
    ASSERT_TRUE(holder.holding());

    CapturedStderr said;
    click_start();

    EXPECT_EQ(messages, std::vector<QString>{kFailureText});
    EXPECT_NE(said.text().find(": cannot listen on 127.0.0.1:" + std::to_string(port) +
                               ": Address already in use"),
              std::string::npos)
        << said.text();
    EXPECT_FALSE(site_server->IsRunning());
    EXPECT_EQ(window.start_button()->text(), QStringLiteral("启动网站"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("网站启动"));
    EXPECT_EQ(config(), kept);
    EXPECT_EQ(read_file(folder.web() / "404.html"), site::not_found_page());
}

// The window says nothing of a failed write; standard error names the file and the reason.
TEST_F(ToggleSite, FailedWritesAreToldOnStandardError) {
    const std::filesystem::path not_found = folder.web() / "404.html";
    const std::filesystem::path config = folder.web() / "Config.web";
    std::filesystem::create_directory(not_found);
    std::filesystem::create_directory(config);
    CapturedStderr said;

    click_start();

    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("网页已启动"));
    const std::string program = program_invocation_short_name;
    EXPECT_EQ(said.text(), program + ": cannot write " + not_found.string() + ": Is a directory\n" +
                               program + ": cannot write " + config.string() +
                               ": Is a directory\n");
}

TEST_F(ToggleSite, PortTextsThatNameNoUsablePortFailToStart) {
    for (const char* text : {"", "0", "-1", "-", "65536", "abc", "99999999999"}) {
        SCOPED_TRACE(text);
        messages.clear();
        window.port_box()->setText(QString::fromUtf8(text));
        click_start();
        EXPECT_EQ(messages, std::vector<QString>{kFailureText});
        EXPECT_EQ(window.windowTitle(), QStringLiteral("网站启动"));
        EXPECT_FALSE(std::filesystem::exists(folder.web() / "Config.web"));
    }
}

TEST_F(ToggleSite, RemembersThePortTextAsTyped) {
    // Full-width digits are read as the port; the file keeps the box's own text.
    QString full_width;
    for (QChar digit : QString::number(port)) full_width += QChar(digit.unicode() + 0xFEE0);
    window.port_box()->setText(full_width);

    click_start();

    ASSERT_TRUE(port_accepts(port));
    EXPECT_EQ(remembered_port(), full_width.toStdString());
}

TEST_F(ToggleSite, EditedPathStopsTheRunningSiteThenServesTheNewFolder) {
    click_start();
    TempFolder other;
    std::filesystem::create_directory(other.web());
    write_file(other.web() / "index.html", "site B");
    point_at(other);

    click_start();
    EXPECT_FALSE(site_server->IsRunning());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("网页未启动"));

    click_start();
    EXPECT_EQ(Get(port, "/").body, "site B");
    EXPECT_EQ(site::read_setting((other.web() / "Config.web").string(), "Config", "Port", ""),
              std::to_string(port));
}

TEST_F(ToggleSite, RealFailureBoxIsAnOwnerlessApplicationModalInformation) {
    set_information_box({});
    PortHolder holder(port);
    QString title, text;
    int buttons = 0;
    QWidget* owner = &window;
    Qt::WindowModality modality = Qt::NonModal;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        owner = box->parentWidget();
        modality = box->windowModality();
        box->button(QMessageBox::Ok)->click();
        answer.stop();
    });
    answer.start();

    click_start();

    EXPECT_EQ(title, QStringLiteral("信息："));
    EXPECT_EQ(text, kFailureText);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("网站启动"));
}

}  // namespace
