#include "launcher/controls/window_icon.h"

#include <QImage>
#include <QPixmap>
#include <cstring>

#include "site/defaults.h"

namespace {

// favicon.ico holds one 128 x 128 image of 32-bit BGRA pixels stored bottom-up, behind a 6-byte
// file header, a 16-byte directory entry and a 40-byte bitmap header.
constexpr int kSide = 128;
constexpr std::size_t kPixelOffset = 6 + 16 + 40;

}  // namespace

QIcon site_icon() {
    const std::string_view ico = site::default_icon();
    if (ico.size() < kPixelOffset + kSide * kSide * 4) return {};
    QImage image(kSide, kSide, QImage::Format_ARGB32);
    for (int row = 0; row < kSide; ++row) {
        const char* source = ico.data() + kPixelOffset + (kSide - 1 - row) * kSide * 4;
        std::memcpy(image.scanLine(row), source, kSide * 4);  // BGRA in memory is ARGB32 here
    }
    return QIcon(QPixmap::fromImage(image));
}
