#pragma once
// Screenshots of the window tests as PNG files: 8-bit RGB, written with
// stored (uncompressed) deflate blocks, which every PNG reader accepts, so
// the tests need no compression library of their own.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct RgbImage {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgb;  // rows top to bottom, three bytes a pixel
};

std::string EncodePng(const RgbImage& Image);

// Creates the folder when missing; raises std::runtime_error when the file
// cannot be written.
void WritePng(const std::filesystem::path& File, const RgbImage& Image);

}  // namespace testsupport
