#include "temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

TempDir::TempDir() {
    // A name no other test process has taken: create_directory fails on one that exists.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::filesystem::path candidate = base / ("mirovale-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate.string();
        }
    }
    if (path_.empty()) {
        throw std::runtime_error("cannot make a directory under " + base.string());
    }
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
