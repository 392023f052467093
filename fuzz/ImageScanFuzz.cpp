// Fuzzes the image walk: classification, layout check and record copies on arbitrary files.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "DownloadImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CDownloadImage image;
  image.Load(std::vector<unsigned char>(data, data + size));
  const int digUnits = size ? data[0] % 3 : 0;
  image.Scan(digUnits, digUnits);
  image.CheckLayout(0, 0);
  unsigned char record[CDownloadImage::kRecordSize];
  for (int64_t offset = 0; offset <= static_cast<int64_t>(size) + 64; offset += 64) image.CopyRecord(offset, record);
  return 0;
}
