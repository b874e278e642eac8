#include "PngWriter.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <stdexcept>
#include <string_view>

namespace testsupport {

namespace {

std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> Table{};
  for (uint32_t N = 0; N < 256; ++N) {
    uint32_t C = N;
    for (int K = 0; K < 8; ++K) C = (C & 1) != 0 ? 0xEDB88320u ^ (C >> 1) : C >> 1;
    Table[N] = C;
  }
  return Table;
}

uint32_t Crc32(std::string_view Bytes) {
  static const auto Table = MakeCrcTable();
  uint32_t C = 0xFFFFFFFFu;
  for (const char Byte : Bytes) C = Table[(C ^ static_cast<uint8_t>(Byte)) & 0xFF] ^ (C >> 8);
  return C ^ 0xFFFFFFFFu;
}

uint32_t Adler32(std::string_view Bytes) {
  uint32_t A = 1;
  uint32_t B = 0;
  for (const char Byte : Bytes) {
    A = (A + static_cast<uint8_t>(Byte)) % 65521;
    B = (B + A) % 65521;
  }
  return (B << 16) | A;
}

void AppendBigEndian(std::string& Out, uint32_t Value) {
  for (int Shift = 24; Shift >= 0; Shift -= 8) Out.push_back(static_cast<char>((Value >> Shift) & 0xFF));
}

void AppendChunk(std::string& Out, std::string_view Type, std::string_view Data) {
  AppendBigEndian(Out, static_cast<uint32_t>(Data.size()));
  std::string Checked(Type);
  Checked += Data;
  Out += Checked;
  AppendBigEndian(Out, Crc32(Checked));
}

// A zlib stream of stored deflate blocks (at most 65535 bytes each).
std::string StoredZlib(std::string_view Raw) {
  std::string Out("\x78\x01", 2);
  std::size_t At = 0;
  do {
    const std::size_t Length = std::min<std::size_t>(Raw.size() - At, 65535);
    const bool Last = At + Length == Raw.size();
    Out.push_back(Last ? '\x01' : '\x00');
    Out.push_back(static_cast<char>(Length & 0xFF));
    Out.push_back(static_cast<char>(Length >> 8));
    Out.push_back(static_cast<char>(~Length & 0xFF));
    Out.push_back(static_cast<char>((~Length >> 8) & 0xFF));
    Out.append(Raw.substr(At, Length));
    At += Length;
  } while (At < Raw.size());
  AppendBigEndian(Out, Adler32(Raw));
  return Out;
}

}  // namespace

std::string EncodePng(const RgbImage& Image) {
  const auto RowBytes = static_cast<std::size_t>(Image.Width) * 3;
  if (Image.Width <= 0 || Image.Height <= 0 || Image.Rgb.size() != RowBytes * static_cast<std::size_t>(Image.Height))
    throw std::invalid_argument("EncodePng: the pixels do not match the size");
  std::string Rows;
  Rows.reserve((RowBytes + 1) * static_cast<std::size_t>(Image.Height));
  for (std::size_t Row = 0; Row < static_cast<std::size_t>(Image.Height); ++Row) {
    Rows.push_back('\0');  // filter: none
    Rows.append(reinterpret_cast<const char*>(Image.Rgb.data() + Row * RowBytes), RowBytes);
  }
  std::string Header;
  AppendBigEndian(Header, static_cast<uint32_t>(Image.Width));
  AppendBigEndian(Header, static_cast<uint32_t>(Image.Height));
  Header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  std::string Png("\x89PNG\r\n\x1A\n", 8);
  AppendChunk(Png, "IHDR", Header);
  AppendChunk(Png, "IDAT", StoredZlib(Rows));
  AppendChunk(Png, "IEND", {});
  return Png;
}

void WritePng(const std::filesystem::path& File, const RgbImage& Image) {
  const std::string Png = EncodePng(Image);
  std::filesystem::create_directories(File.parent_path());
  std::ofstream Stream(File, std::ios::binary | std::ios::trunc);
  Stream.write(Png.data(), static_cast<std::streamsize>(Png.size()));
  if (!Stream) throw std::runtime_error("Cannot write the PNG file " + File.string());
}

}  // namespace testsupport
