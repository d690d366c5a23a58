// The reference pattern finder (which the differential walk builds on)
// against a naive overlapping count, and the start-tag reader's invariants,
// over any bytes and any pattern of up to 256 bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzCommon.h"
#include "reference/Reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::string pattern = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 256));
  std::string stream = in.ConsumeRemainingBytesAsString();

  tFinder finder(pattern);
  finder.PutString(stream);
  if (pattern.empty()) {
    FUZZ_CHECK(finder.Found == -1);
  } else {
    int naive = 0;
    for (std::size_t i = 0; i + pattern.size() <= stream.size(); ++i) {
      naive += stream.compare(i, pattern.size(), pattern) == 0;
    }
    FUZZ_CHECK(finder.Found == naive);
  }

  tGetTag tag;
  std::size_t nameAtEnd = 0, attrsAtEnd = 0;
  bool done = false;
  for (char c : stream) {
    tag.Put(static_cast<std::uint8_t>(c));
    if (tag.Status == -1 && !done) {
      done = true;
      nameAtEnd = tag.TagName.size();
      attrsAtEnd = tag.Attributes.size();
    }
    int s = tag.Status;
    FUZZ_CHECK(s == -1 || (s >= 0 && s <= 6) || s == 10);
  }
  if (done) FUZZ_CHECK(tag.TagName.size() == nameAtEnd && tag.Attributes.size() == attrsAtEnd);
  for (char c : tag.TagName) FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
  FUZZ_CHECK(tag.Attributes.empty() || tag.Attributes.compare(0, 2, "\r\n") == 0);
  std::string id = tag.GetAttribute("id");
  FUZZ_CHECK(id.empty() || tag.Attributes.find("id=" + id) != std::string::npos);
  return 0;
}
