#include "xwd_image.h"

#include <algorithm>
#include <stdexcept>

namespace {

// The dump's header: 25 big-endian 32-bit fields, in this order.
enum Field {
    kHeaderSize,
    kFileVersion,
    kPixmapFormat,
    kPixmapDepth,
    kPixmapWidth,
    kPixmapHeight,
    kXOffset,
    kByteOrder,
    kBitmapUnit,
    kBitmapBitOrder,
    kBitmapPad,
    kBitsPerPixel,
    kBytesPerLine,
    kVisualClass,
    kRedMask,
    kGreenMask,
    kBlueMask,
    kBitsPerRgb,
    kColormapEntries,
    kColourCount,
    kFieldCount = 25
};
const uint32_t kZPixmap = 2;
const uint32_t kTrueColor = 4;
const uint32_t kDirectColor = 5;
const size_t kColourEntrySize = 12;

uint32_t bigEndian32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t k = 0; k < 4; ++k) {
        value = (value << 8) | static_cast<uint8_t>(bytes[at + k]);
    }
    return value;
}

// The 8-bit value of the channel that mask selects from pixel.
uint32_t channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) {
        ++shift;
    }
    const uint32_t max = mask >> shift;
    return ((pixel & mask) >> shift) * 255u / max;
}

[[noreturn]] void fail(const std::string& why) { throw std::runtime_error("not a usable XWD dump: " + why); }

} // namespace

Image readXwd(const std::string& bytes) {
    if (bytes.size() < kFieldCount * 4) {
        fail("shorter than its header");
    }
    uint32_t field[kFieldCount];
    for (int k = 0; k < kFieldCount; ++k) {
        field[k] = bigEndian32(bytes, k * 4);
    }
    if (field[kFileVersion] != 7) {
        fail("file version " + std::to_string(field[kFileVersion]));
    }
    if (field[kPixmapFormat] != kZPixmap) {
        fail("pixmap format " + std::to_string(field[kPixmapFormat]));
    }
    if (field[kVisualClass] != kTrueColor && field[kVisualClass] != kDirectColor) {
        fail("visual class " + std::to_string(field[kVisualClass]));
    }
    const uint32_t bitsPerPixel = field[kBitsPerPixel];
    if (bitsPerPixel != 24 && bitsPerPixel != 32) {
        fail(std::to_string(bitsPerPixel) + " bits per pixel");
    }
    const uint64_t width = field[kPixmapWidth];
    const uint64_t height = field[kPixmapHeight];
    const uint64_t bytesPerLine = field[kBytesPerLine];
    const uint64_t bytesPerPixel = bitsPerPixel / 8;
    if (width > 16384 || height > 16384 || bytesPerLine < width * bytesPerPixel) {
        fail("size " + std::to_string(width) + " x " + std::to_string(height));
    }
    const uint64_t dataStart =
        uint64_t(field[kHeaderSize]) + uint64_t(field[kColourCount]) * kColourEntrySize;
    if (field[kHeaderSize] < kFieldCount * 4 || dataStart + bytesPerLine * height > bytes.size()) {
        fail("pixels missing");
    }

    const bool mostSignificantFirst = field[kByteOrder] == 1;
    Image image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.reserve(width * height);
    for (uint64_t y = 0; y < height; ++y) {
        for (uint64_t x = 0; x < width; ++x) {
            const size_t at = dataStart + y * bytesPerLine + x * bytesPerPixel;
            uint32_t pixel = 0;
            for (uint64_t k = 0; k < bytesPerPixel; ++k) {
                const uint32_t byte = static_cast<uint8_t>(bytes[at + k]);
                pixel |= mostSignificantFirst ? byte << (8 * (bytesPerPixel - 1 - k)) : byte << (8 * k);
            }
            image.pixels.push_back(channel(pixel, field[kRedMask]) << 16 |
                                   channel(pixel, field[kGreenMask]) << 8 | channel(pixel, field[kBlueMask]));
        }
    }
    return image;
}

LitArea litArea(const Image& image) {
    LitArea area;
    area.left = image.width;
    area.top = image.height;
    double sumX = 0.0;
    double sumY = 0.0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.at(x, y) != 0) {
                ++area.count;
                sumX += x;
                sumY += y;
                area.left = std::min(area.left, x);
                area.right = std::max(area.right, x);
                area.top = std::min(area.top, y);
                area.bottom = std::max(area.bottom, y);
            }
        }
    }
    if (area.count > 0) {
        area.centreX = sumX / area.count;
        area.centreY = sumY / area.count;
    }
    return area;
}

int greyPixels(const Image& image) {
    int count = 0;
    for (uint32_t pixel : image.pixels) {
        count += pixel != 0 && pixel != 0xffffffu;
    }
    return count;
}
