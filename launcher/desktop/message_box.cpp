#include "launcher/desktop/message_box.h"

#include <QMessageBox>

namespace {

InformationBox& replacement() {
    static InformationBox box;
    return box;
}

void show_real_box(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), text, QMessageBox::Ok, nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

void show_information(const QString& text) {
    if (replacement()) {
        replacement()(text);
    } else {
        show_real_box(text);
    }
}

void set_information_box(InformationBox box) { replacement() = std::move(box); }
