#include "xwd_image.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

void putBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xff));
    }
}

// A dump of a width x height true-colour picture of pixels (0xRRGGBB, masks 0xff0000 and on),
// with each line padded to bytesPerLine and colourCount colour entries before the pixels.
std::string dump(int width, int height, int bitsPerPixel, bool mostSignificantFirst, int bytesPerLine,
                 const std::vector<uint32_t>& pixels, int colourCount = 0) {
    const uint32_t header[25] = {100,
                                 7,
                                 2,
                                 24,
                                 uint32_t(width),
                                 uint32_t(height),
                                 0,
                                 mostSignificantFirst,
                                 32,
                                 0,
                                 32,
                                 uint32_t(bitsPerPixel),
                                 uint32_t(bytesPerLine),
                                 4,
                                 0xff0000,
                                 0x00ff00,
                                 0x0000ff,
                                 8,
                                 256,
                                 uint32_t(colourCount),
                                 uint32_t(width),
                                 uint32_t(height),
                                 0,
                                 0,
                                 0};
    std::string out;
    for (uint32_t field : header) {
        putBigEndian(out, field);
    }
    out.append(colourCount * 12, '\x55');
    const int bytesPerPixel = bitsPerPixel / 8;
    for (int y = 0; y < height; ++y) {
        std::string line;
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = pixels[y * width + x];
            for (int k = 0; k < bytesPerPixel; ++k) {
                const int byte = mostSignificantFirst ? bytesPerPixel - 1 - k : k;
                line.push_back(static_cast<char>((pixel >> (8 * byte)) & 0xff));
            }
        }
        line.resize(bytesPerLine, '\x7f');
        out += line;
    }
    return out;
}

const std::vector<uint32_t> kPixels = {0x000000, 0xffffff, 0x123456, 0xff0000, 0x00ff00, 0x0000ff};

TEST(XwdImage, ReadsEveryPixelLayoutTheServerMayUse) {
    for (int bits : {24, 32}) {
        for (bool msb : {false, true}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, most significant first: " << msb);
            const Image image = readXwd(dump(3, 2, bits, msb, 3 * bits / 8 + 4, kPixels, 2));
            ASSERT_EQ(image.width, 3);
            ASSERT_EQ(image.height, 2);
            EXPECT_EQ(image.pixels, kPixels);
            EXPECT_EQ(image.at(2, 0), 0x123456u);
            EXPECT_EQ(image.at(0, 1), 0xff0000u);
        }
    }
}

TEST(XwdImage, RefusesDumpsItCannotRead) {
    const std::string good = dump(3, 2, 32, false, 12, kPixels);
    EXPECT_THROW(readXwd(good.substr(0, 60)), std::runtime_error);              // a cut header
    EXPECT_THROW(readXwd(good.substr(0, good.size() - 1)), std::runtime_error); // cut pixels
    EXPECT_THROW(readXwd(dump(3, 2, 16, false, 6, kPixels)), std::runtime_error);
    EXPECT_THROW(readXwd(dump(3, 2, 32, false, 8, kPixels)), std::runtime_error); // lines too short
    std::string otherVersion = good;
    otherVersion[7] = 6;
    EXPECT_THROW(readXwd(otherVersion), std::runtime_error);
}

TEST(XwdImage, MeasuresTheLitArea) {
    Image image;
    image.width = 4;
    image.height = 3;
    image.pixels = {0, 0, 0, 0, 0, 0xffffff, 0x808080, 0, 0, 0, 0xffffff, 0};
    const LitArea lit = litArea(image);
    EXPECT_EQ(lit.count, 3);
    EXPECT_EQ(lit.left, 1);
    EXPECT_EQ(lit.right, 2);
    EXPECT_EQ(lit.top, 1);
    EXPECT_EQ(lit.bottom, 2);
    EXPECT_DOUBLE_EQ(lit.centreX, 5.0 / 3);
    EXPECT_DOUBLE_EQ(lit.centreY, 4.0 / 3);
    EXPECT_EQ(greyPixels(image), 1);
    image.pixels.assign(12, 0);
    EXPECT_EQ(litArea(image).count, 0);
}

} // namespace
