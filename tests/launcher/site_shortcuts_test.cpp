#include "launcher/site_shortcuts.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "launcher/desktop/desktop_opener.h"
#include "launcher/main_window.h"
#include "launcher/site_server.h"
#include "server/http_server.h"

namespace {

struct Handed {
    QString target;
    DesktopTarget kind;
};

class SiteShortcuts : public testing::Test {
  protected:
    void SetUp() override {
        set_desktop_opener([this](const QString& target, DesktopTarget kind) {
            handed.push_back({target, kind});
        });
    }
    void TearDown() override { set_desktop_opener({}); }

    void click(const char* name) {
        auto* button = window.findChild<QPushButton*>(QString::fromUtf8(name));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    MainWindow window;
    std::vector<Handed> handed;
};

TEST_F(SiteShortcuts, OpenSiteHandsTheAddressOverUnrepaired) {
    // Whatever stands in the box is appended as it is: no trimming, no check, no trailing slash.
    const char* const port_texts[] = {"8080", "", "-1", "abc123456", " 80 ", "端口"};
    for (const char* text : port_texts) {
        SCOPED_TRACE(text);
        handed.clear();
        window.port_box()->setText(QString::fromUtf8(text));
        click("按钮_打开网站");
        ASSERT_EQ(handed.size(), 1u);
        EXPECT_EQ(handed[0].target, QStringLiteral("http://127.0.0.1:") + QString::fromUtf8(text));
        EXPECT_EQ(handed[0].kind, DesktopTarget::Url);
    }
    EXPECT_FALSE(site_server->IsRunning());
}

TEST_F(SiteShortcuts, OpenFolderHandsTheWebFolderOfThePathBox) {
    // The folder need not exist: the file manager reports that, the launcher says nothing.
    const char* const base_paths[] = {"/srv/网站 文件", "", "/no/such/folder"};
    for (const char* base : base_paths) {
        SCOPED_TRACE(base);
        handed.clear();
        window.path_box()->setText(QString::fromUtf8(base));
        click("按钮_打开目录");
        ASSERT_EQ(handed.size(), 1u);
        EXPECT_EQ(handed[0].target, QString::fromUtf8(base) + QStringLiteral("/web"));
        EXPECT_EQ(handed[0].kind, DesktopTarget::Folder);
    }
}

}  // namespace
