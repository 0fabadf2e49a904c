#include "launcher/share/share_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <memory>

#include "child_process.h"
#include "launcher/share/qr_image.h"
#include "server/http_server.h"
#include "server/network/share_address.h"
#include "test_support.h"
#include "tests/server/support/test_site.h"

namespace {

using namespace test_support;

// zbarimg's reading of a picture of a QR code: the text it holds, or "" when none is found.
std::string decoded(const QImage& image) {
    TempFolder folder;
    const std::filesystem::path file = folder.path() / "code.png";
    if (!image.save(QString::fromStdString(file.string()), "PNG")) return {};
    std::string text = output_of({"zbarimg", "--raw", "-q", file.string()});
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

bool only_black_and_white(const QImage& image) {
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* line = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x) {
            if (line[x] != 0 && line[x] != 255) return false;
        }
    }
    return true;
}

class ShareDialogTest : public testing::Test {
  protected:
    QDialog* open(const ShareAddresses& addresses, const QString& port = "8080") {
        QDialog* dialog = make_share_dialog(&owner, port, addresses);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        return dialog;
    }

    QWidget owner;
};

TEST_F(ShareDialogTest, ShowsTheAddressAsTextAndAsACodeThatDecodesToIt) {
    ASSERT_FALSE(output_of({"sh", "-c", "command -v zbarimg"}).empty())
        << "zbarimg (zbar-tools) is needed: scripts/install-deps.sh test";
    for (const auto& [address, port] : {std::pair<std::string, QString>{"192.0.2.10", "8080"},
                                        {"10.0.0.5", "9999"},
                                        {"172.31.255.254", "65535"},
                                        {"192.168.100.200", "1"}}) {
        QDialog* dialog = open(ShareAddresses{address, {}}, port);
        const QString expected = QStringLiteral("http://%1:%2/").arg(address.c_str(), port);
        const auto* text = dialog->findChild<QLineEdit*>("share_address");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->text(), expected);
        EXPECT_TRUE(text->isReadOnly());
        auto* code = dialog->findChild<QLabel*>("share_code");
        ASSERT_NE(code, nullptr);
        const QImage shown = code->grab().toImage();
        EXPECT_EQ(decoded(shown), expected.toStdString());
        EXPECT_GE(shown.width(), 150) << "too small for a phone camera";
        EXPECT_TRUE(only_black_and_white(shown)) << "modules are drawn crisp";
        EXPECT_EQ(dialog->findChild<QLabel*>("share_others"), nullptr);
        delete dialog;
    }
}

TEST_F(ShareDialogTest, CodeModulesAreWholePixelsWithAQuietZone) {
    const QImage image = qr_image("http://192.168.100.200:65535/");
    ASSERT_FALSE(image.isNull());
    // The top-left finder pattern starts after four light modules; its dark run is seven modules.
    int first_dark = 0;
    while (first_dark < image.width() && qGray(image.pixel(first_dark, first_dark)) == 255) {
        ++first_dark;
    }
    ASSERT_GT(first_dark, 0);
    ASSERT_EQ(first_dark % 4, 0);
    const int module = first_dark / 4;
    EXPECT_GE(module, kQrModulePixels);
    int dark_run = 0;
    while (qGray(image.pixel(first_dark + dark_run, first_dark)) == 0) ++dark_run;
    EXPECT_EQ(dark_run, 7 * module);
    EXPECT_EQ(image.width() % module, 0);
}

TEST_F(ShareDialogTest, CopyPutsTheAddressOnTheClipboard) {
    QDialog* dialog = open(ShareAddresses{"192.0.2.10", {}});
    QGuiApplication::clipboard()->setText("something else");
    auto* copy = dialog->findChild<QPushButton*>("share_copy");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->text(), QStringLiteral("复制"));
    QTest::mouseClick(copy, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("http://192.0.2.10:8080/"));
}

TEST_F(ShareDialogTest, ListsTheOtherCandidatesUnderTheCode) {
    QDialog* dialog = open(ShareAddresses{"192.0.2.10", {"198.51.100.7", "10.1.2.3"}});
    const auto* others = dialog->findChild<QLabel*>("share_others");
    ASSERT_NE(others, nullptr);
    EXPECT_TRUE(others->text().contains("http://198.51.100.7:8080/"));
    EXPECT_TRUE(others->text().contains("http://10.1.2.3:8080/"));
    EXPECT_FALSE(others->text().contains("192.0.2.10"));
}

TEST_F(ShareDialogTest, WithoutACandidateSaysSoInsteadOfACode) {
    QDialog* dialog = open(ShareAddresses{});
    const auto* none = dialog->findChild<QLabel*>("share_none");
    ASSERT_NE(none, nullptr);
    EXPECT_TRUE(none->isVisible());
    EXPECT_TRUE(none->text().contains(QStringLiteral("没有找到")));
    EXPECT_EQ(dialog->findChild<QLabel*>("share_code"), nullptr);
    EXPECT_EQ(dialog->findChild<QLineEdit*>("share_address"), nullptr);
    EXPECT_EQ(dialog->findChild<QPushButton*>("share_copy"), nullptr);
}

TEST_F(ShareDialogTest, IsAModelessDialogOfTheOwnerThatEscCloses) {
    owner.show();
    show_share_dialog(&owner, "8080");
    show_share_dialog(&owner, "8080");
    const auto dialogs = owner.findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(dialogs.size(), 1) << "opening it again replaces the open one";
    QDialog* dialog = dialogs.front();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("手机扫码访问"));
    EXPECT_FALSE(dialog->isModal());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    const QPointer<QDialog> watched(dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(wait_until([&] { return !watched || !watched->isVisible(); }));
}

TEST(ShareDialogAvailableTest, OnlyWhileTheSiteRunsShared) {
    TestSite site;
    JHTTPServer server;
    server.Init(site.root());
    EXPECT_FALSE(share_dialog_available(server));
    server.SetOption(ServeOption::kLanSharing, true);
    EXPECT_FALSE(share_dialog_available(server)) << "not running";
    ASSERT_NE(StartOnFreePort(server), 0);
    EXPECT_TRUE(share_dialog_available(server));
    server.Stop();
    server.SetOption(ServeOption::kLanSharing, false);
    ASSERT_NE(StartOnFreePort(server), 0);
    EXPECT_FALSE(share_dialog_available(server));
    server.SetOption(ServeOption::kLanSharing, true);
    EXPECT_FALSE(share_dialog_available(server)) << "sharing starts with the next start";
}

}  // namespace
