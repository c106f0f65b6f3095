// Fuzz target: the reader of compiled programs. Any byte string, read at an
// offset taken from its first two bytes, must be refused with one of the
// reader's messages or give an image within the format's limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/kvc_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  uint64_t offset = size >= 2 ? (data[0] | (data[1] << 8)) % (size + 1) : 0;
  for (uint64_t at : {uint64_t{0}, offset}) {
    korv::kvc::Image image;
    korv::kvc::ReadResult r = korv::kvc::ReadProgram(bytes, at, image);
    if (r.status != korv::kvc::ReadStatus::Ok) {
      if (r.message == 0 || image.Length() != 0) std::abort();
      continue;
    }
    if (image.Length() > korv::kvc::kMaxStatements || image.dataPosition > size) std::abort();
    for (int32_t i = 1; i <= image.Length(); ++i) {
      std::string s = image.Fetch(i);
      if (s.size() > korv::kvc::kMaxBody) std::abort();
      // Only the last statement may be PROGEND.
      if (!s.empty() && static_cast<uint8_t>(s[0]) == 2 && i != image.Length()) std::abort();
    }
  }
  return 0;
}
