#pragma once
#include <cstddef>
#include <string>

// "439:" key ":" encoded path ":" length of the BMP, then a line feed; the BMP follows.
std::string IconMessageHeader(const std::string& windowKey, const std::string& encodedPath,
                              size_t bitmapLength);
