// Bytes per second of the loops every byte of a book goes through: the
// reader's Next, the pattern finder, the tag scanner and the base64 codec.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "reader/SeqRead.h"
#include "reference/Reference.h"
#include "textutil/Base64.h"

namespace {

std::string Random(std::size_t n) {
  std::mt19937 gen(42);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

// Mostly base64 lines, as books are, with a start tag now and then.
std::string BookLike(std::size_t n) {
  std::string text;
  std::string b64 = EncodeBase64(Random(n * 3 / 4));
  for (std::size_t at = 0; at < b64.size(); at += 1 << 16) {
    text += "<binary id=\"img" + std::to_string(at) + ".png\" content-type=\"image/png\">";
    text += b64.substr(at, 1 << 16);
    text += "</binary>\r\n";
  }
  return text;
}

void BM_FinderPut(benchmark::State& state) {
  std::string text = BookLike(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    tFinder finder("<binary");
    for (char c : text) finder.Put(static_cast<std::uint8_t>(c));
    benchmark::DoNotOptimize(finder.Found);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FinderPut)->Arg(1 << 22);

void BM_GetTagPut(benchmark::State& state) {
  const std::string tag = "<binary id=\"cover-image-0001.jpg\" content-type=\"image/jpeg\" xlink:type='simple'>";
  for (auto _ : state) {
    tGetTag scanner;
    for (char c : tag) scanner.Put(static_cast<std::uint8_t>(c));
    benchmark::DoNotOptimize(scanner.GetAttribute("id"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tag.size()));
}
BENCHMARK(BM_GetTagPut);

void BM_DecodeBase64(benchmark::State& state) {
  std::string text = EncodeBase64(Random(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(DecodeBase64(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodeBase64)->Arg(1 << 22);

// Extraction's way: a window at a time into a reused buffer, on each path.
void BM_DecoderFeed(benchmark::State& state) {
  std::string text = EncodeBase64(Random(1 << 22));
  const auto path = state.range(0) ? tBase64Decoder::Wide : tBase64Decoder::Narrow;
  constexpr std::size_t kWindow = 32768;
  std::vector<char> out(tBase64Decoder::MaxOutput(kWindow));
  for (auto _ : state) {
    tBase64Decoder decoder(path);
    for (std::size_t at = 0; at < text.size(); at += kWindow) {
      benchmark::DoNotOptimize(decoder.Feed(text.data() + at, std::min(kWindow, text.size() - at), out.data()));
    }
  }
  state.SetLabel(tBase64Decoder(path).UsesWidePath() ? "wide" : "narrow");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecoderFeed)->Arg(0)->Arg(1);

void BM_EncodeBase64(benchmark::State& state) {
  std::string data = Random(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(EncodeBase64(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_EncodeBase64)->Arg(1 << 22);

void BM_ReaderNext(benchmark::State& state) {
  auto path = std::filesystem::temp_directory_path() / "fb2pack-bench-reader.fb2";
  {
    std::ofstream out(path, std::ios::binary);
    std::string text = BookLike(static_cast<std::size_t>(state.range(0)));
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    tDiskRead book(path.string());
    std::uint32_t sum = 0;
    while (!book.Eof) {
      sum += book.Ch;
      book.Next();
    }
    benchmark::DoNotOptimize(sum);
    bytes += book.Size;
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ReaderNext)->Arg(1 << 26);

}  // namespace
