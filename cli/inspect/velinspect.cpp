// velinspect: prints what VelManager.dll will do with a serial download image, before it
// touches a box.
//
//   velinspect [--json] IMAGE
//
// Exit status: 0 the library takes the image, 1 it refuses it (its own words are printed),
// 2 bad usage or a file that cannot be read.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ImageInspection.h"

namespace {

const char kUsage[] = "usage: velinspect [--json] IMAGE\n";

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      json = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      std::fprintf(stderr, "velinspect: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    } else if (!path) {
      path = argv[i];
    } else {
      std::fprintf(stderr, "velinspect: one image at a time\n%s", kUsage);
      return 2;
    }
  }
  if (!path) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) {
    std::fprintf(stderr, "velinspect: cannot open %s\n", path);
    return 2;
  }
  const std::streamoff size = file.tellg();
  // The library keeps an image's size in 32 bits.
  if (size < 0 || static_cast<uint64_t>(size) > UINT32_MAX) {
    std::fprintf(stderr, "velinspect: %s is larger than the library can load (4 GiB)\n", path);
    return 2;
  }
  std::vector<unsigned char> contents(static_cast<std::size_t>(size));
  file.seekg(0);
  if (size > 0 && !file.read(reinterpret_cast<char*>(contents.data()), size)) {
    std::fprintf(stderr, "velinspect: cannot read %s\n", path);
    return 2;
  }

  const CImageInspection inspection(contents);
  const std::string report = json ? inspection.Json(path) : inspection.Text(path);
  std::fputs(report.c_str(), stdout);
  return inspection.Accepted() ? 0 : 1;
}
