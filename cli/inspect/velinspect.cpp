// velinspect: prints what VelManager.dll will do with a serial download image, before it
// touches a box.
//
//   velinspect [--json] IMAGE
//   velinspect --version
//
// Exit status: 0 the library takes the image, 1 it refuses it (its own words are printed),
// 2 bad usage or a file that cannot be read.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ImageFile.h"
#include "ImageInspection.h"
#include "StelvarVersion.h"

namespace {

const char kUsage[] = "usage: velinspect [--json] IMAGE\n       velinspect --version\n";

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
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::fputs("velinspect " STELVAR_VERSION "\n", stdout);
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

  std::vector<unsigned char> contents;
  std::string reason;
  if (!CImageFile::Read(path, contents, reason)) {
    std::fprintf(stderr, "velinspect: %s\n", reason.c_str());
    return 2;
  }
  const CImageInspection inspection(contents);
  const std::string report = json ? inspection.Json(path) : inspection.Text(path);
  std::fwrite(report.data(), 1, report.size(), stdout);
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? (inspection.Accepted() ? 0 : 1) : 2;
}
