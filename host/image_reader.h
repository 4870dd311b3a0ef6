// Reading source images from disk: PNM (P1-P6) and PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/image.h"

// Every image in a PNM file (a file may hold several, one after another).
std::vector<Image> ReadPnm(const std::vector<uint8_t>& bytes, const std::string& label);

// The image in a PNG file. Throws InputError where PNG is not built in.
Image ReadPng(const std::vector<uint8_t>& bytes, const std::string& label);

// Reads a file and picks the reader by its first bytes.
std::vector<Image> ReadImageFile(const std::string& path);
