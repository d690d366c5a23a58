// The check of an image's structure over any bytes: its verdict does not
// depend on how the bytes are cut into pieces; and against images built from
// the input by their formats' rules (PNG chunks with their CRCs, JPEG
// segments and coded data, GIF blocks), which are whole, every shorter copy
// of one is cut short.
#include <fuzzer/FuzzedDataProvider.h>
#include <zlib.h>

#include <cstdint>
#include <string>

#include "FuzzCommon.h"
#include "ImageCheck.h"

namespace {

std::string DamageOf(const std::string& bytes, std::size_t piece) {
  tImageCheck check;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    check.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at, std::min(piece, bytes.size() - at));
  }
  return check.Damage();
}

std::string Big(std::uint32_t v, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(v >> (8 * i));
  return out;
}

std::string Png(FuzzedDataProvider& in) {
  std::string png = "\x89PNG\r\n\x1a\n";
  while (in.remaining_bytes() > 0 && in.ConsumeBool()) {
    std::string type;
    for (int i = 0; i < 4; ++i) type += static_cast<char>('A' + in.ConsumeIntegralInRange(0, 25));
    if (type == "IEND") type = "IDAT";
    const std::string data = type + in.ConsumeRandomLengthString(300);
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    png += Big(static_cast<std::uint32_t>(data.size() - 4), 4) + data + Big(static_cast<std::uint32_t>(crc), 4);
  }
  return png + Big(0, 4) + "IEND" + Big(0xAE426082, 4);
}

std::string Jpeg(FuzzedDataProvider& in) {
  std::string jpeg = "\xFF\xD8";
  while (in.remaining_bytes() > 0 && in.ConsumeBool()) {
    // A segment (never a marker that stands alone, nor the end), or coded data.
    auto marker = in.ConsumeIntegralInRange<std::uint8_t>(0x02, 0xFE);
    if (marker == 0xD8 || marker == 0xD9 || (marker >= 0xD0 && marker <= 0xD7)) marker = 0xE1;
    const std::string data = in.ConsumeRandomLengthString(300);
    jpeg +=
        std::string("\xFF") + static_cast<char>(marker) + Big(static_cast<std::uint32_t>(data.size() + 2), 2) + data;
    if (marker != 0xDA) continue;
    for (char c : in.ConsumeRandomLengthString(300)) {
      jpeg += c;
      if (c == '\xFF') jpeg += in.ConsumeBool() ? '\0' : static_cast<char>(0xD0 + in.ConsumeIntegralInRange(0, 7));
    }
  }
  return jpeg + "\xFF\xD9";
}

std::string Gif(FuzzedDataProvider& in) {
  auto table = [&](std::uint8_t flags) { return flags & 0x80 ? std::string(3u << ((flags & 7) + 1), 'c') : ""; };
  auto subBlocks = [&] {
    std::string out;
    while (in.remaining_bytes() > 0 && in.ConsumeBool()) {
      const std::string data = in.ConsumeRandomLengthString(255);
      if (!data.empty()) out += static_cast<char>(data.size()) + data;
    }
    return out + '\0';
  };
  const auto flags = in.ConsumeIntegral<std::uint8_t>();
  std::string gif =
      "GIF89a" + std::string("\1\0\1\0", 4) + static_cast<char>(flags) + std::string(2, '\0') + table(flags);
  while (in.remaining_bytes() > 0 && in.ConsumeBool()) {
    if (in.ConsumeBool()) {
      gif += "!" + std::string(1, static_cast<char>(in.ConsumeIntegral<std::uint8_t>())) + subBlocks();
    } else {
      const auto local = in.ConsumeIntegral<std::uint8_t>();
      gif += "," + std::string(8, '\0') + static_cast<char>(local) + table(local) + '\2' + subBlocks();
    }
  }
  return gif + ";";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const int mode = in.ConsumeIntegralInRange(0, 3);
  if (mode == 0) {
    const auto piece = in.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    FUZZ_CHECK(DamageOf(bytes, piece) == DamageOf(bytes, bytes.size() + 1));
    return 0;
  }
  const std::string image = mode == 1 ? Png(in) : mode == 2 ? Jpeg(in) : Gif(in);
  const std::string kind = mode == 1 ? "PNG" : mode == 2 ? "JPEG" : "GIF";
  const std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(1, 512);
  FUZZ_CHECK(DamageOf(image, piece).empty());
  // From where the signature tells the kind, on.
  const std::size_t cut = in.ConsumeIntegralInRange<std::size_t>(mode == 2 ? 3 : 6, image.size() - 1);
  FUZZ_CHECK(DamageOf(image.substr(0, cut), piece).starts_with(kind + " cut short"));
  return 0;
}
