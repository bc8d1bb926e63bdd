#include "temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

TempDir::TempDir() {
    char pattern[] = "/tmp/mirovale-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string file = path_ + "/" + name;
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr ||
        (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())) {
        throw std::runtime_error("cannot write " + file);
    }
    std::fclose(out);
    return file;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> patternBytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t k = 0; k < count; ++k) {
        bytes[k] = static_cast<uint8_t>(k * 7 + k / 251);
    }
    return bytes;
}
