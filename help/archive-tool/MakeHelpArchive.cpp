// Builds the help archive at build time, on the build machine:
//   make-help-archive OUTPUT FILE...
// Each file becomes one deflated entry under its bare name, in the order
// given, with one fixed time and no file-system attributes, so the same files
// always give the same bytes, whoever builds them and whenever.
#include <minizip/zip.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

// Noon of 1 January 2024: any fixed time does; a DOS date cannot go below 1980.
zip_fileinfo FixedEntryInfo() {
  zip_fileinfo Info{};
  Info.tmz_date.tm_year = 2024;
  Info.tmz_date.tm_mon = 0;
  Info.tmz_date.tm_mday = 1;
  Info.tmz_date.tm_hour = 12;
  return Info;
}

bool ReadFile(const std::string& Path, std::string& Bytes) {
  std::ifstream File(Path, std::ios::binary);
  if (!File) return false;
  std::ostringstream Content;
  Content << File.rdbuf();
  Bytes = Content.str();
  return !File.bad();
}

std::string BareName(const std::string& Path) {
  const std::size_t Separator = Path.find_last_of("/\\");
  return Separator == std::string::npos ? Path : Path.substr(Separator + 1);
}

bool AddEntry(zipFile Zip, const std::string& Path) {
  std::string Bytes;
  if (!ReadFile(Path, Bytes)) {
    std::fprintf(stderr, "make-help-archive: cannot read %s\n", Path.c_str());
    return false;
  }
  const zip_fileinfo Info = FixedEntryInfo();
  if (zipOpenNewFileInZip(Zip, BareName(Path).c_str(), &Info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                          Z_BEST_COMPRESSION) != ZIP_OK ||
      zipWriteInFileInZip(Zip, Bytes.data(), static_cast<unsigned>(Bytes.size())) != ZIP_OK ||
      zipCloseFileInZip(Zip) != ZIP_OK) {
    std::fprintf(stderr, "make-help-archive: cannot add %s\n", Path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make-help-archive OUTPUT FILE...\n");
    return 2;
  }
  const std::string Output = argv[1];
  zipFile Zip = zipOpen(Output.c_str(), APPEND_STATUS_CREATE);
  if (Zip == nullptr) {
    std::fprintf(stderr, "make-help-archive: cannot create %s\n", Output.c_str());
    return 1;
  }
  bool Ok = true;
  for (int I = 2; I < argc && Ok; ++I) Ok = AddEntry(Zip, argv[I]);
  if (zipClose(Zip, nullptr) != ZIP_OK) Ok = false;
  if (!Ok) std::remove(Output.c_str());
  return Ok ? 0 : 1;
}
