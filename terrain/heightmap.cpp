#include "terrain/heightmap.h"

#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <unistd.h>

// The one place the platforms differ: Windows' C runtime reads a file as text unless told
// otherwise (a 0x1A byte ends the read, CR LF becomes LF) and has no FIFOs to block on, while
// POSIX reads every file as bytes.
#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

Heightmap::~Heightmap() { delete[] data; }

bool Heightmap::load(const char* path, int width, int height) {
    // Refuse sizes that would allocate nothing or wrap around before touching the file.
    if (width <= 0 || height <= 0 || width > INT_MAX / height) {
        return false;
    }
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);

    // Opened as bytes, and without blocking, so a FIFO or terminal with nothing to give fails at
    // once instead of stalling the viewer; regular files and devices such as /dev/zero read as ever.
    const int fd = open(path, O_RDONLY | O_BINARY | O_NONBLOCK);
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "rb");
    if (file == nullptr) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    uint8_t* buffer = new (std::nothrow) uint8_t[count];
    if (buffer == nullptr) {
        std::fclose(file);
        return false;
    }
    if (std::fread(buffer, 1, count, file) < count) {
        // A short file keeps the previous grid, so the new buffer goes.
        delete[] buffer;
        std::fclose(file);
        return false;
    }

    delete[] data;
    data = buffer;
    this->width = width;
    this->height = height;
    std::fclose(file);
    return true;
}

uint8_t Heightmap::at(unsigned x, unsigned y) const {
    if (data == nullptr) {
        return 0;
    }
    // Compared unsigned, so negative coordinates land out of range too.
    if (x >= static_cast<unsigned>(width) || y >= static_cast<unsigned>(height)) {
        return 0;
    }
    return data[static_cast<size_t>(y) * static_cast<unsigned>(width) + x];
}
