// The plug-in scans its reader's window in bulk and decodes a window at a
// time. Here the plain byte-by-byte walk, built from the same character
// handlers, runs beside it over generated and mutated books: every name,
// every extracted byte and every end of walk must agree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "Scenario.h"
#include "format/EntryName.h"
#include "plugin/Book.h"
#include "reference/Reference.h"
#include "textutil/Base64.h"
#include "textutil/StrUtil.h"

namespace {

struct Step {
  std::string name;
  bool extracted;
  std::string bytes;  // what the extraction gives
  int result = 0;     // and its result: a cut or damaged entry is told
};

// Whether the walk extracts its i-th entry or skips it.
bool Extracts(std::size_t i, unsigned seed) { return ((seed >> (i % 13)) ^ i) & 1; }

// The walk one byte at a time, as the listing and extraction are defined.
std::vector<Step> ByteByByte(const std::string& path, unsigned seed) {
  std::vector<Step> steps;
  tBook book(path);
  tEntryNames names;
  if (book.Size == 0) return steps;
  for (std::size_t i = 0;; ++i) {
    std::string name;
    bool closesItself = false;
    for (;;) {
      tFinder finder("<binary");
      while (!book.Eof && finder.Found == 0) {
        finder.Put(book.Ch);
        book.Next();
      }
      tGetTag tag;
      tag.PutString("<binary");
      closesItself = false;
      while (!book.Eof && book.Ch != '>') {
        tag.Put(book.Ch);
        closesItself = book.Ch == '/';
        book.Next();
      }
      tag.Put('>');
      name = ReportedName(Unquote(tag.GetAttribute("id")), book.Charset);
      if (!name.empty() || book.Eof) break;
    }
    if (name.empty()) return steps;
    Step step{names.Take(name), Extracts(i, seed), ""};
    if (step.extracted) {
      while (!book.Eof && book.Ch != '>') book.Next();
      bool cut = book.Eof;
      book.Next();
      tStringWrite content;
      while (!book.Eof && book.Ch != '<') {
        content.Put(book.Ch);
        book.Next();
      }
      tBase64Decoder decoder(tBase64Decoder::Narrow);
      decoder.Feed(content.GetText().data(), content.GetText().size(), step.bytes);
      char tail[2];
      step.bytes.append(tail, decoder.Finish(tail));
      // Content stops at its end tag; any other '<' cut it short.
      bool stray = false;
      if (!book.Eof && !closesItself) {
        tFinder end("</binary");
        const std::uint32_t at = book.Pos;
        for (; !book.Eof && book.Pos < at + 8 && end.Found == 0; book.Next()) end.Put(book.Ch);
        stray = end.Found == 0;
        book.SeekTo(at);
      }
      step.result = cut || book.Eof ? E_BAD_ARCHIVE : stray || decoder.Damaged() ? E_BAD_DATA : 0;
    }
    steps.push_back(step);
  }
}

// The same walk through the plug-in's exports.
std::vector<Step> ThroughThePlugin(const ScratchDir& dir, const std::string& path, unsigned seed) {
  std::vector<Step> steps;
  api::Archive a(path);
  if (!a.Handle()) return steps;
  tHeaderData h;
  for (std::size_t i = 0; a.Next(h) == 0; ++i) {
    Step step{h.FileName, Extracts(i, seed), ""};
    if (step.extracted) {
      step.result = a.Process(PK_EXTRACT, dir.Prefix().c_str(), "out.bin");
      step.bytes = Slurp(dir.File("out.bin"));
    } else {
      EXPECT_EQ(a.Process(PK_SKIP, nullptr, nullptr), 0);
    }
    steps.push_back(step);
  }
  return steps;
}

std::string Generated(std::mt19937& gen) {
  std::string text = api::kHead + "<body><p>\xD0\x9A\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0</p></body>\r\n";
  int entries = static_cast<int>(gen() % 6);
  for (int e = 0; e < entries; ++e) {
    std::string data = testfiles::RandomBytes(gen() % 90000, gen());
    std::string b64 = testfiles::ReferenceBase64(data);
    std::size_t width = std::vector<std::size_t>{0, 64, 76, 80}[gen() % 4];
    std::string lines;
    for (std::size_t p = 0; p < b64.size(); p += width ? width : b64.size()) {
      lines += b64.substr(p, width ? width : b64.size()) + (gen() % 2 ? "\r\n" : "\n ");
    }
    // Now and then a start tag straddles the end of a reader window.
    constexpr std::size_t window = tDiskRead::kWindowSize;
    if (gen() % 3 == 0 && text.size() % window > window - 20)
      text += std::string(window - text.size() % window - gen() % 7, ' ');
    text += "<binary id=\"e" + std::to_string(e) + ".png\" content-type=\"image/png\">" + lines + "</binary>\r\n";
  }
  return text + api::kTail;
}

std::string Mutated(std::string text, std::mt19937& gen) {
  static const char kBytes[] = {'<', '>', '"', '\'', '=', '/', '\0', ' ', '\n', 'A', 'b'};
  int changes = 1 + static_cast<int>(gen() % 12);
  for (int i = 0; i < changes && !text.empty(); ++i) {
    std::size_t at = gen() % text.size();
    switch (gen() % 4) {
      case 0: text[at] = kBytes[gen() % sizeof kBytes]; break;
      case 1: text.insert(at, 1, kBytes[gen() % sizeof kBytes]); break;
      case 2: text.erase(at, 1 + gen() % 40); break;
      default: text.insert(at, "<binary id='m" + std::to_string(i) + "'>QUJD"); break;
    }
  }
  return text;
}

// The base64 path the test build of the plug-in is asked for
// (FB2PACK_BASE64), when this processor lacks it: that path cannot be tested
// here.
std::string AskedPathMissing() {
  const char* asked = std::getenv("FB2PACK_BASE64");
  for (auto path : {tBase64Decoder::Ssse3, tBase64Decoder::Avx2, tBase64Decoder::Avx512Vbmi}) {
    if (asked && std::string(asked) == tBase64Decoder::NameOf(path) && !tBase64Decoder::Available(path)) return asked;
  }
  return "";
}

}  // namespace

TEST(Differential, BulkScanningAgreesWithTheByteByByteWalk) {
  if (const std::string missing = AskedPathMissing(); !missing.empty()) GTEST_SKIP() << "no " << missing << " here";
  ScratchDir dir;
  std::mt19937 gen(20261208);
  for (int round = 0; round < 60; ++round) {
    std::string text = Generated(gen);
    if (round % 2) text = Mutated(text, gen);
    std::string path = dir.File("b.fb2");
    Spit(path, text);
    unsigned seed = gen();
    std::vector<Step> expected = ByteByByte(path, seed);
    std::vector<Step> got = ThroughThePlugin(dir, path, seed);
    ASSERT_EQ(got.size(), expected.size()) << "round " << round;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].name, expected[i].name) << "round " << round << " entry " << i;
      EXPECT_TRUE(got[i].bytes == expected[i].bytes) << "round " << round << " entry " << i;
      EXPECT_EQ(got[i].result, expected[i].result) << "round " << round << " entry " << i;
    }
  }
}

TEST(Differential, StartTagsAndContentEndsAtEveryOffsetOfAWindowBoundary) {
  if (const std::string missing = AskedPathMissing(); !missing.empty()) GTEST_SKIP() << "no " << missing << " here";
  ScratchDir dir;
  for (std::size_t shift = 0; shift < 12; ++shift) {
    constexpr std::size_t w = tDiskRead::kWindowSize;
    std::string text = std::string(w - 10 + shift, 'x') + "<binary id=\"a\">TWFu</binary>" +
                       std::string(w - 30 + shift, 'y') + "<binary id=\"b\">" + std::string(40, 'Q') + "</binary>";
    std::string path = dir.File("b.fb2");
    Spit(path, text);
    for (unsigned seed : {0u, 0xFFFFFFFFu, 0x5555u}) {
      std::vector<Step> expected = ByteByByte(path, seed);
      std::vector<Step> got = ThroughThePlugin(dir, path, seed);
      ASSERT_EQ(expected.size(), 2u);
      ASSERT_EQ(got.size(), 2u) << shift;
      for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(got[i].name, expected[i].name);
        EXPECT_EQ(got[i].bytes, expected[i].bytes) << shift;
        EXPECT_EQ(got[i].result, 0) << shift;
      }
    }
  }
}
