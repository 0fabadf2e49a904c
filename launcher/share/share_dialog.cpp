#include "launcher/share/share_dialog.h"

#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "launcher/share/qr_image.h"
#include "server/http_server.h"
#include "server/network/network_interfaces.h"
#include "server/network/share_address.h"

namespace {

const char* const kDialogName = "share_dialog";

QString site_address(const std::string& address, const QString& port_text) {
    return QStringLiteral("http://%1:%2/").arg(QString::fromStdString(address), port_text);
}

QLabel* text_label(const QString& text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

void add_address_row(QVBoxLayout* layout, QDialog* dialog, const QString& address) {
    auto* row = new QHBoxLayout;
    auto* text = new QLineEdit(address, dialog);
    text->setObjectName("share_address");
    text->setReadOnly(true);
    text->setMinimumWidth(text->fontMetrics().horizontalAdvance(address) + 16);
    auto* copy = new QPushButton(QStringLiteral("复制"), dialog);
    copy->setObjectName("share_copy");
    copy->setAutoDefault(false);
    QObject::connect(copy, &QPushButton::clicked,
                     [address] { QGuiApplication::clipboard()->setText(address); });
    row->addWidget(text);
    row->addWidget(copy);
    layout->addLayout(row);
}

void add_code(QVBoxLayout* layout, QDialog* dialog, const QString& address) {
    const QImage image = qr_image(address.toUtf8());
    if (image.isNull()) return;
    auto* code = new QLabel(dialog);
    code->setObjectName("share_code");
    code->setPixmap(QPixmap::fromImage(image));
    code->setAlignment(Qt::AlignCenter);
    layout->addWidget(code, 0, Qt::AlignHCenter);
}

}  // namespace

bool share_dialog_available(const JHTTPServer& server) { return server.IsShared(); }

QDialog* make_share_dialog(QWidget* owner, const QString& port_text,
                           const ShareAddresses& addresses) {
    auto* dialog = new QDialog(owner);
    dialog->setObjectName(kDialogName);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(false);
    dialog->setWindowTitle(QStringLiteral("手机扫码访问"));
    auto* layout = new QVBoxLayout(dialog);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    if (addresses.chosen.empty()) {
        QLabel* none = text_label(
            QStringLiteral("没有找到手机能访问的局域网地址。请先把这台电脑连上 Wi-Fi 或网线，"
                           "再打开这个窗口。"),
            "share_none", dialog);
        none->setMinimumWidth(280);  // a sentence of two lines, not a narrow column
        layout->addWidget(none);
        return dialog;
    }
    const QString address = site_address(addresses.chosen, port_text);
    layout->addWidget(
        text_label(QStringLiteral("手机和这台电脑连在同一个网络时，用手机扫描二维码即可打开网站："),
                   "share_hint", dialog));
    add_code(layout, dialog, address);
    add_address_row(layout, dialog, address);
    if (!addresses.others.empty()) {
        QStringList lines{QStringLiteral("本机的其他地址：")};
        for (const std::string& other : addresses.others) {
            lines << site_address(other, port_text);
        }
        layout->addWidget(text_label(lines.join('\n'), "share_others", dialog));
    }
    return dialog;
}

void show_share_dialog(QWidget* owner, const QString& port_text) {
    delete owner->findChild<QDialog*>(kDialogName, Qt::FindDirectChildrenOnly);
    QDialog* dialog = make_share_dialog(
        owner, port_text, ChooseShareAddresses(ReadNetInterfaces(), ReadDefaultRouteInterface()));
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
