#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A fresh directory in the temporary folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }

    // Writes bytes to name inside the directory and returns the file's full path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::string path_;
};

// The whole file at path; empty if it cannot be read.
std::vector<uint8_t> readFile(const std::string& path);

// count bytes where byte k is (k * 7 + k / 251) mod 256: distinct neighbours along rows and columns.
std::vector<uint8_t> patternBytes(size_t count);
