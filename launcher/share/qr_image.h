#pragma once

#include <QImage>

class QByteArray;

// Smallest size of one module (one square of the code) in pixels, and the side the whole code
// should at least reach: a phone camera 30 cm from a 96-dpi screen reads it comfortably.
inline constexpr int kQrModulePixels = 4;
inline constexpr int kQrTargetPixels = 200;

// A QR code of `text` (libqrencode, error correction M), black modules on white with a quiet zone
// of four modules, every module the same whole number of pixels so it stays crisp. A null image
// when the text cannot be encoded.
QImage qr_image(const QByteArray& text);
