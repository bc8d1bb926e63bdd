#pragma once

#include "xwd_image.h"

#include <string>

// Writes image to path as an 8-bit RGB PNG; false if the file cannot be written.
bool writePng(const std::string& path, const Image& image);
