// The bundled terrain the build writes beside the viewer.
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

std::vector<uint8_t> readSample() { return readFile(SAMPLE_RAW_PATH); }

TEST(SampleTerrain, Is257By257BytesSpanningTheWholeRange) {
    const std::vector<uint8_t> bytes = readSample();
    ASSERT_EQ(bytes.size(), 257u * 257u);
    uint8_t low = 255, high = 0;
    for (uint8_t b : bytes) {
        low = std::min(low, b);
        high = std::max(high, b);
    }
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 255);
}

TEST(SampleTerrain, IsSmoothLikeLand) {
    // Neighbouring samples of rolling land differ a little, not by noise-sized jumps.
    const std::vector<uint8_t> bytes = readSample();
    ASSERT_EQ(bytes.size(), 257u * 257u);
    int steepest = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int here = bytes[y * 257 + x];
            steepest = std::max(steepest, std::abs(here - bytes[y * 257 + x + 1]));
            steepest = std::max(steepest, std::abs(here - bytes[(y + 1) * 257 + x]));
        }
    }
    EXPECT_LE(steepest, 24);
}

TEST(SampleTerrain, IsTheSameBytesOnEveryBuild) {
    // FNV-1a over the file, recorded when the generator was written.
    uint64_t hash = 0xcbf29ce484222325u;
    for (uint8_t b : readSample()) {
        hash = (hash ^ b) * 0x100000001b3u;
    }
    EXPECT_EQ(hash, 0xcb9032107ce0e76au);
}

} // namespace
