#pragma once

#include <cstdint>

// A rectangular grid of 8-bit height samples read from a headerless raw file.
class Heightmap {
public:
    Heightmap() = default;
    virtual ~Heightmap();

    // The heightmap owns its buffer, so a copy would free it twice.
    Heightmap(const Heightmap&) = delete;
    Heightmap& operator=(const Heightmap&) = delete;

    // Replaces the contents with the first width x height bytes of the file at path.
    // Returns false, leaving the heightmap as it was, if the size is not positive or
    // too large, or the file cannot be opened or holds fewer bytes, or has them only
    // after a wait (a FIFO, a terminal).
    bool load(const char* path, int width, int height);

    // The sample at column x, row y; 0 outside the grid or on an empty heightmap.
    uint8_t at(unsigned x, unsigned y) const;

    int width = 0;
    int height = 0;
    uint8_t* data = nullptr;
};
