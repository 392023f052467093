// Fuzzes the image walk: classification, layout check, record copies and the inspector's
// report on arbitrary files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "DownloadImage.h"
#include "ImageInspection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CDownloadImage image;
  image.Load(std::vector<unsigned char>(data, data + size));
  const int digUnits = size ? data[0] % 3 : 0;
  image.Scan(digUnits, digUnits);
  image.CheckLayout(0, 0);
  unsigned char record[CDownloadImage::kRecordSize];
  for (int64_t offset = 0; offset <= static_cast<int64_t>(size) + 64; offset += 64) image.CopyRecord(offset, record);

  const CImageInspection report(std::vector<unsigned char>(data, data + size));
  // Every section the report shows lies inside the file, in order.
  int64_t end = 0;
  for (const CImageInspection::SectionFacts& s : report.Sections()) {
    if (s.offset < end || s.length < 0 || s.offset + 64 + s.length > static_cast<int64_t>(size)) std::abort();
    end = s.offset + 64 + s.length;
  }
  if (report.Accepted() != report.Problems().empty()) std::abort();
  report.Text("fuzz.img");
  report.Json("fuzz.img");
  return 0;
}
