#include "terrain/heightmap.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

namespace {

const size_t kFullSize = 257 * 257;

static_assert(!std::is_copy_constructible_v<Heightmap>, "a copy would free the samples twice");
static_assert(!std::is_copy_assignable_v<Heightmap>, "a copy would free the samples twice");

// Expects map to hold exactly w x h samples equal to bytes.
void expectGrid(const Heightmap& map, int w, int h, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(map.width, w);
    ASSERT_EQ(map.height, h);
    ASSERT_NE(map.data, nullptr);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(map.at(x, y), bytes[y * w + x]) << "at (" << x << ", " << y << ")";
        }
    }
}

class HeightmapLoad : public ::testing::Test {
protected:
    TempDir dir;
    std::vector<uint8_t> full = patternBytes(kFullSize);
    std::string fullFile = dir.write("full.raw", full);
};

TEST(HeightmapEmpty, AnswersZeroEverywhere) {
    Heightmap map;
    EXPECT_EQ(map.width, 0);
    EXPECT_EQ(map.height, 0);
    EXPECT_EQ(map.data, nullptr);
    EXPECT_EQ(map.at(0, 0), 0);
    EXPECT_EQ(map.at(5, 7), 0);
    EXPECT_EQ(map.at(-1, -1), 0);
}

TEST_F(HeightmapLoad, ReadsSamplesRowMajor) {
    Heightmap map;
    ASSERT_TRUE(map.load(fullFile.c_str(), 257, 257));
    expectGrid(map, 257, 257, full);
    EXPECT_EQ(map.at(1, 0), full[1]);
    EXPECT_EQ(map.at(0, 1), full[257]);
    EXPECT_EQ(map.at(256, 256), full.back());
}

TEST_F(HeightmapLoad, AnswersZeroOutsideTheGrid) {
    Heightmap map;
    ASSERT_TRUE(map.load(fullFile.c_str(), 257, 257));
    EXPECT_EQ(map.at(257, 0), 0);
    EXPECT_EQ(map.at(0, 257), 0);
    EXPECT_EQ(map.at(260, 10), 0);
    EXPECT_EQ(map.at(-1, 0), 0);
    EXPECT_EQ(map.at(0, -1), 0);
}

TEST_F(HeightmapLoad, ShortFileLeavesMapUnchanged) {
    Heightmap map;
    ASSERT_TRUE(map.load(fullFile.c_str(), 257, 257));
    const uint8_t* before = map.data;
    const std::string shortFile = dir.write("short.raw", std::vector<uint8_t>(kFullSize - 1, 9));

    EXPECT_FALSE(map.load(shortFile.c_str(), 257, 257));
    EXPECT_EQ(map.data, before);
    expectGrid(map, 257, 257, full);
}

TEST_F(HeightmapLoad, ShortFileLeavesEmptyMapEmpty) {
    Heightmap map;
    const std::string shortFile = dir.write("short.raw", std::vector<uint8_t>(kFullSize - 1, 9));
    EXPECT_FALSE(map.load(shortFile.c_str(), 257, 257));
    EXPECT_EQ(map.data, nullptr);
    EXPECT_EQ(map.width, 0);
    EXPECT_EQ(map.height, 0);
}

TEST_F(HeightmapLoad, LongerFileLoadsItsFirstSamples) {
    Heightmap map;
    const std::vector<uint8_t> longer = patternBytes(70000);
    ASSERT_TRUE(map.load(dir.write("long.raw", longer).c_str(), 257, 257));
    expectGrid(map, 257, 257, longer);
    EXPECT_EQ(map.at(257, 0), 0);
}

TEST_F(HeightmapLoad, SecondLoadReplacesGridAndSize) {
    Heightmap map;
    ASSERT_TRUE(map.load(fullFile.c_str(), 257, 257));
    const std::vector<uint8_t> small = {10, 11, 12, 13, 14, 20, 21, 22, 23, 24, 30, 31, 32, 33, 34};
    ASSERT_TRUE(map.load(dir.write("small.raw", small).c_str(), 5, 3));
    expectGrid(map, 5, 3, small);
    EXPECT_EQ(map.at(5, 0), 0);
    EXPECT_EQ(map.at(0, 3), 0);
    EXPECT_EQ(map.at(256, 256), 0);
}

TEST_F(HeightmapLoad, UnreadablePathsFail) {
    Heightmap map;
    ASSERT_TRUE(map.load(fullFile.c_str(), 257, 257));
    EXPECT_FALSE(map.load((dir.path() + "/missing.raw").c_str(), 257, 257));
    EXPECT_FALSE(map.load(dir.path().c_str(), 257, 257)); // a directory opens but reads nothing
    EXPECT_FALSE(map.load(dir.write("empty.raw", {}).c_str(), 257, 257));
    expectGrid(map, 257, 257, full);
}

TEST_F(HeightmapLoad, ReadsLineEndsAndEndOfTextAsSamples) {
    // Bytes a text-mode read would change or stop at: CR LF, a lone LF and CR, and 0x1A.
    std::vector<uint8_t> bytes = full;
    const uint8_t special[] = {0x0d, 0x0a, 0x0a, 0x0d, 0x1a, 0x0d, 0x0a, 0x1a};
    std::copy(std::begin(special), std::end(special), bytes.begin() + 100);
    Heightmap map;
    ASSERT_TRUE(map.load(dir.write("text.raw", bytes).c_str(), 257, 257));
    expectGrid(map, 257, 257, bytes);
}

// Windows has neither FIFOs nor /dev/zero.
#ifndef _WIN32
TEST_F(HeightmapLoad, FifoFailsAtOnceRatherThanWaiting) {
    Heightmap map;
    ASSERT_TRUE(map.load(fullFile.c_str(), 257, 257));
    const std::string fifo = dir.path() + "/fifo.raw";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // With no writer, opening would wait for one; a hang here ends in the test's time limit.
    EXPECT_FALSE(map.load(fifo.c_str(), 257, 257));
    // With a writer that has given too little, reading would wait for the rest.
    const int writer = open(fifo.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, full.data(), 4096), 4096);
    EXPECT_FALSE(map.load(fifo.c_str(), 257, 257));
    close(writer);
    expectGrid(map, 257, 257, full);
}

TEST_F(HeightmapLoad, CharacterDeviceLoads) {
    Heightmap map;
    ASSERT_TRUE(map.load("/dev/zero", 257, 257));
    expectGrid(map, 257, 257, std::vector<uint8_t>(kFullSize, 0));
}

#endif

TEST_F(HeightmapLoad, SizesThatAreNotPositiveFail) {
    Heightmap map;
    ASSERT_TRUE(map.load(fullFile.c_str(), 257, 257));
    const int sizes[][2] = {{0, 257}, {257, 0}, {0, 0}, {-1, 257}, {257, -1}, {-1, -1}, {-257, -257}};
    for (const auto& size : sizes) {
        EXPECT_FALSE(map.load(fullFile.c_str(), size[0], size[1])) << size[0] << " x " << size[1];
    }
    expectGrid(map, 257, 257, full);
}

TEST_F(HeightmapLoad, SizesPastIntFail) {
    Heightmap map;
    ASSERT_TRUE(map.load(fullFile.c_str(), 257, 257));
    // 65536 x 65536 wraps a 32-bit product to 0; the others go just past INT_MAX.
    const int sizes[][2] = {{65536, 65536}, {46341, 46341}, {2, 1073741824}, {INT_MAX, INT_MAX}};
    for (const auto& size : sizes) {
        EXPECT_FALSE(map.load(fullFile.c_str(), size[0], size[1])) << size[0] << " x " << size[1];
    }
    expectGrid(map, 257, 257, full);
}

TEST_F(HeightmapLoad, OneByOneGridLoads) {
    Heightmap map;
    ASSERT_TRUE(map.load(fullFile.c_str(), 1, 1));
    expectGrid(map, 1, 1, full);
    EXPECT_EQ(map.at(1, 0), 0);
}

} // namespace
