#include "png.h"

#include <zlib.h>

#include <cstdio>

namespace {

void putBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xff));
    }
}

// A PNG chunk: length, type, data, and the CRC of type and data.
void putChunk(std::string& out, const char* type, const std::string& data) {
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    putBigEndian(out, crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size()));
}

} // namespace

bool writePng(const std::string& path, const Image& image) {
    std::string header;
    putBigEndian(header, image.width);
    putBigEndian(header, image.height);
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter, no interlace

    std::string rows;
    for (int y = 0; y < image.height; ++y) {
        rows.push_back('\0'); // no filter on this row
        for (int x = 0; x < image.width; ++x) {
            const uint32_t pixel = image.at(x, y);
            rows.push_back(static_cast<char>(pixel >> 16));
            rows.push_back(static_cast<char>(pixel >> 8));
            rows.push_back(static_cast<char>(pixel));
        }
    }
    uLongf packedSize = compressBound(rows.size());
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
                  reinterpret_cast<const Bytef*>(rows.data()), rows.size(), Z_BEST_COMPRESSION) != Z_OK) {
        return false;
    }
    packed.resize(packedSize);

    std::string file = "\x89PNG\r\n\x1a\n";
    putChunk(file, "IHDR", header);
    putChunk(file, "IDAT", packed);
    putChunk(file, "IEND", "");

    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
}
