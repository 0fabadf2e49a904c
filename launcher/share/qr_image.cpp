#include "launcher/share/qr_image.h"

#include <qrencode.h>

#include <QByteArray>
#include <QPainter>
#include <algorithm>
#include <memory>

namespace {

constexpr int kQuietModules = 4;

}  // namespace

QImage qr_image(const QByteArray& text) {
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(text.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code) return {};
    const int modules = code->width + 2 * kQuietModules;
    const int scale = std::max(kQrModulePixels, (kQrTargetPixels + modules - 1) / modules);
    QImage image(modules * scale, modules * scale, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if (code->data[y * code->width + x] & 1) {  // bit 0 tells a dark module
                painter.fillRect((x + kQuietModules) * scale, (y + kQuietModules) * scale, scale,
                                 scale, Qt::black);
            }
        }
    }
    return image;
}
