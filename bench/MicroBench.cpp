// Bytes per second of the loops the plug-in runs over a book: the element
// walk of the listing, the search for the root's end tag that adding makes,
// the extraction loop (walk, content, decoder), the start-tag reader, and
// the base64 codec on each of its paths.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "CharHandlers/CharHandlers.h"
#include "format/BookMap.h"
#include "format/BookRead.h"
#include "format/ElementScan.h"
#include "format/EntryContent.h"
#include "format/EntryName.h"
#include "textutil/Base64.h"

namespace {

std::string Random(std::size_t n) {
  std::mt19937 gen(42);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

// A book of about n bytes: base64 lines in elements of 64 KB, as books are.
std::string BookLike(std::size_t n) {
  std::string text = "<?xml version=\"1.0\"?>\r\n<FictionBook>\r\n";
  std::string b64 = EncodeBase64(Random(n * 3 / 4));
  for (std::size_t at = 0; at < b64.size(); at += 1 << 16) {
    text += "<binary id=\"img" + std::to_string(at) + ".png\" content-type=\"image/png\">";
    text += b64.substr(at, 1 << 16);
    text += "</binary>\r\n";
  }
  return text + "</FictionBook>\r\n";
}

// The book on disk for as long as a benchmark runs.
class tBookFile {
 public:
  explicit tBookFile(std::size_t n) : path_(std::filesystem::temp_directory_path() / "fb2pack-bench.fb2") {
    std::ofstream out(path_, std::ios::binary);
    const std::string text = BookLike(n);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    size_ = text.size();
  }
  ~tBookFile() { std::filesystem::remove(path_); }
  std::string Path() const { return path_.string(); }
  std::size_t Size() const { return size_; }

 private:
  std::filesystem::path path_;
  std::size_t size_ = 0;
};

// The listing's walk over the book of a benchmark, every iteration:
// entry(book, tag) for each element named, its results summed so that the
// work is kept.
template <class Entry>
void WalkEntries(benchmark::State& state, Entry&& entry) {
  const tBookFile file(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    tBookRead book(file.Path());
    tElementScan scan(book);
    tEntryNames names;
    tStartTag tag;
    std::string name;
    std::size_t sum = 0;
    while (NextListed(scan, book.Charset, names, tag, name)) sum += entry(book, tag);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Size()));
}

// The listing: every element's start tag read and named.
void BM_ElementWalk(benchmark::State& state) {
  WalkEntries(state, [](tBookRead&, const tStartTag&) { return std::size_t{1}; });
}
BENCHMARK(BM_ElementWalk)->Arg(1 << 26);

// The map every operation but the listing starts from: the walk, each
// element's end and line, the references and the root's end, in one pass.
void BM_BookMap(benchmark::State& state) {
  const tBookFile file(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    tBookRead book(file.Path());
    tBookMap map;
    benchmark::DoNotOptimize(MapBook(book, map));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Size()));
}
BENCHMARK(BM_BookMap)->Arg(1 << 26);

// Counts what is decoded, into one room.
class tCountSink final : public tContentSink {
 public:
  char* Room() override { return room_.data(); }
  void Took(std::size_t n) override { Decoded += n; }
  std::size_t Decoded = 0;

 private:
  std::vector<char> room_ = std::vector<char>(kMaxPiece);
};

// Extraction without its writes: the walk, and every entry's content decoded.
void BM_ExtractionLoop(benchmark::State& state) {
  WalkEntries(state, [](tBookRead& book, const tStartTag& tag) {
    tCountSink sink;
    ReadEntryContent(book, tag.ClosesItself, sink);
    return sink.Decoded;
  });
}
BENCHMARK(BM_ExtractionLoop)->Arg(1 << 26);

// Where adding puts new elements: the root's end tag, found in every byte.
void BM_RootEndSearch(benchmark::State& state) {
  const tBookFile file(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    tBookRead book(file.Path());
    tRootEndFinder finder;
    while (!book.Eof && !finder.Done()) {
      finder.Feed(book.Here(), book.Ahead());
      book.Skip(book.Ahead());
    }
    benchmark::DoNotOptimize(finder.InsertionPoint());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Size()));
}
BENCHMARK(BM_RootEndSearch)->Arg(1 << 26);

// The start-tag reader every element's id goes through.
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

// Extraction's way: a piece at a time into a reused buffer, on each path
// and on the one extraction takes ("wide"), in symbols per second.
void BM_DecoderFeed(benchmark::State& state) {
  const tBase64Decoder::tPath paths[] = {tBase64Decoder::Narrow, tBase64Decoder::Ssse3, tBase64Decoder::Avx2,
                                         tBase64Decoder::Avx512Vbmi, tBase64Decoder::Wide};
  const auto path = paths[state.range(0)];
  if (!tBase64Decoder::Available(path)) {
    state.SkipWithError("this processor lacks the path");
    return;
  }
  std::string text = EncodeBase64(Random(1 << 22));
  constexpr std::size_t kPiece = tContentSink::kPieceSymbols;
  std::vector<char> out(tContentSink::kMaxPiece);
  for (auto _ : state) {
    tBase64Decoder decoder(path);
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
      benchmark::DoNotOptimize(decoder.Feed(text.data() + at, std::min(kPiece, text.size() - at), out.data()));
    }
  }
  const std::string name = tBase64Decoder(path).PathName();
  state.SetLabel(path == tBase64Decoder::Wide ? "wide (" + name + ")" : name);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecoderFeed)->DenseRange(0, 4);

void BM_EncodeBase64(benchmark::State& state) {
  std::string data = Random(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(EncodeBase64(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_EncodeBase64)->Arg(1 << 22);

}  // namespace
