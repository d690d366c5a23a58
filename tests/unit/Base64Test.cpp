#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <random>
#include <vector>

#include "TestFiles.h"
#include "platform/Platform.h"
#include "textutil/Base64.h"

using testfiles::RandomBytes;
using testfiles::ReferenceBase64;

namespace {

std::vector<std::size_t> LineLengths(const std::string& text) {
  std::vector<std::size_t> lengths;
  std::size_t start = 0;
  for (;;) {
    std::size_t br = text.find("\r\n", start);
    lengths.push_back((br == std::string::npos ? text.size() : br) - start);
    if (br == std::string::npos) return lengths;
    start = br + 2;
  }
}

std::string WithoutBreaks(std::string s) {
  std::string out;
  for (char c : s) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s += static_cast<char>(v);
  return s;
}

}  // namespace

TEST(Base64, Base64CharUsesOnlyTheLowSixBits) {
  EXPECT_EQ(Base64Char(0), 'A');
  EXPECT_EQ(Base64Char(63), '/');
  EXPECT_EQ(Base64Char(64), 'A');
  EXPECT_EQ(Base64Char(0xFFFFFFFFu), '/');
}

TEST(Base64, ShortInputsGiveOneGroupWithPadding) {
  EXPECT_EQ(EncodeBase64(""), "");
  EXPECT_EQ(EncodeBase64("M"), "TQ==");
  EXPECT_EQ(EncodeBase64("Ma"), "TWE=");
  EXPECT_EQ(EncodeBase64("Man"), "TWFu");
  EXPECT_EQ(EncodeBase64("Many"), "TWFueQ==");
}

TEST(Base64, LineBreaksAtTheSixtyAndHundredTwentyByteBoundaries) {
  EXPECT_EQ(EncodeBase64(RandomBytes(57, 1)).size(), 76u);
  std::string sixty = EncodeBase64(RandomBytes(60, 1));
  EXPECT_EQ(sixty.size(), 80u);
  EXPECT_EQ(sixty.find('\r'), std::string::npos);
  std::string sixtyOne = EncodeBase64(RandomBytes(61, 1));
  EXPECT_EQ(sixtyOne.size(), 86u);
  EXPECT_EQ(LineLengths(sixtyOne), (std::vector<std::size_t>{80, 4}));
  EXPECT_EQ(sixtyOne.substr(84), "==");
  std::string hundredTwenty = EncodeBase64(RandomBytes(120, 2));
  EXPECT_EQ(hundredTwenty.size(), 162u);
  EXPECT_EQ(LineLengths(hundredTwenty), (std::vector<std::size_t>{80, 80}));
  std::string hundredTwentyThree = EncodeBase64(RandomBytes(123, 2));
  EXPECT_EQ(hundredTwentyThree.size(), 168u);
  EXPECT_EQ(LineLengths(hundredTwentyThree), (std::vector<std::size_t>{80, 80, 4}));
}

TEST(Base64, LongInputsAlternateSeventySixAndEightyCharacterLines) {
  std::string text = EncodeBase64(RandomBytes(3000, 3));
  std::vector<std::size_t> lengths = LineLengths(text);
  ASSERT_GT(lengths.size(), 6u);
  EXPECT_EQ(lengths[0], 80u);
  EXPECT_EQ(lengths[1], 80u);
  for (std::size_t i = 2; i + 1 < lengths.size(); ++i) EXPECT_EQ(lengths[i], i % 2 == 0 ? 76u : 80u) << i;
  EXPECT_NE(text.substr(text.size() - 2), "\r\n");
  // The line breaks stand at these output positions (1-based).
  for (std::size_t p : {81u, 163u, 241u, 323u, 401u}) EXPECT_EQ(text.substr(p - 1, 2), "\r\n") << p;
}

TEST(Base64, EncodingIsStandardBase64ApartFromLineBreaks) {
  for (std::size_t n = 0; n <= 3000; ++n) {
    std::string data = RandomBytes(n, static_cast<unsigned>(n));
    std::string text = EncodeBase64(data);
    ASSERT_EQ(WithoutBreaks(text), ReferenceBase64(data)) << n;
    ASSERT_EQ(text.size(), Base64Length(n)) << n;
    ASSERT_TRUE(text.size() < 2 || text.substr(text.size() - 2) != "\r\n") << n;
    ASSERT_EQ(DecodeBase64(text), data) << n;
  }
}

TEST(Base64, RoundTripsLargeRandomData) {
  for (unsigned seed = 0; seed < 4; ++seed) {
    std::string data = RandomBytes(200000 + seed, seed);
    EXPECT_EQ(DecodeBase64(EncodeBase64(data)), data);
  }
}

TEST(Base64, DecoderSkipsForeignBytes) {
  EXPECT_EQ(DecodeBase64(""), "");
  EXPECT_EQ(DecodeBase64(" T\tW\r\nF-u_"), "Man");
  EXPECT_EQ(DecodeBase64("\xff\x80TWFu\x01"), "Man");
  std::string text = EncodeBase64(RandomBytes(500, 4));
  std::string spread;
  for (char c : text) spread += std::string("  ") + c + "\t\r\n";
  EXPECT_EQ(DecodeBase64(spread), RandomBytes(500, 4));
}

TEST(Base64, DecoderTellsDamageFromLayoutOnEitherPath) {
  const std::string good = EncodeBase64(RandomBytes(700, 5));
  struct {
    std::string text;
    bool foreign, lone, afterEnd;
  } cases[] = {{" \t\r\n" + good + "\r\n", false, false, false},
               {good.substr(0, 300), false, false, false},
               {good.substr(0, 164) + "T", false, true, false},
               {good + "-", false, false, true},
               {"@@@@!!", true, false, false},
               {"TQ==\r\n@", false, false, true},
               {"TQ==\r\n \t", false, false, false},
               {"TQ==QUJD", false, false, true},
               {"TQ=a", false, false, true},
               {"TWE==", false, false, true},
               {good.substr(0, 200) + "\x80" + good.substr(200), true, false, false}};
  for (const auto& c : cases) {
    for (auto path :
         {tBase64Decoder::Narrow, tBase64Decoder::Ssse3, tBase64Decoder::Avx2, tBase64Decoder::Avx512Vbmi}) {
      tBase64Decoder d(path);
      std::string out;
      for (std::size_t at = 0; at < c.text.size(); at += 97)
        d.Feed(c.text.data() + at, std::min<std::size_t>(97, c.text.size() - at), out);
      EXPECT_EQ(d.SawForeign(), c.foreign) << c.text.substr(0, 20);
      EXPECT_EQ(d.LoneSymbolLeft(), c.lone) << c.text.substr(0, 20);
      EXPECT_EQ(d.SawAfterEnd(), c.afterEnd) << c.text.substr(0, 20);
      EXPECT_EQ(d.Damaged(), c.foreign || c.lone || c.afterEnd) << c.text.substr(0, 20);
    }
  }
}

TEST(Base64, AnUnpaddedLastGroupDecodesAndALoneSymbolDoesNot) {
  EXPECT_EQ(DecodeBase64("T"), "");
  EXPECT_EQ(DecodeBase64("TWF"), "Ma");
  EXPECT_EQ(DecodeBase64("TWFuT"), "Man");
  EXPECT_EQ(DecodeBase64("QUJDRA"), "ABCD");
  EXPECT_EQ(DecodeBase64("QUJDREU\r\n"), "ABCDE");
  EXPECT_EQ(DecodeBase64("QUJDRA="), "ABCD");
  // Fed in pieces, the tail is given only at the end.
  tBase64Decoder d;
  std::string out;
  d.Feed("QUJ", 3, out);
  d.Feed("DREU", 4, out);
  EXPECT_EQ(out, "ABC");
  char tail[2];
  out.append(tail, d.Finish(tail));
  EXPECT_EQ(out, "ABCDE");
  EXPECT_FALSE(d.Damaged());
}

TEST(Base64, PaddingInThirdOrFourthPlaceEndsTheDecoding) {
  EXPECT_EQ(DecodeBase64("TQ=a"), "M");
  EXPECT_EQ(DecodeBase64("TWE=TWFu"), "Ma");
  EXPECT_EQ(DecodeBase64("TQ==TWFu"), "M");
}

TEST(Base64, PaddingInTheFirstTwoPlacesSetsBitsAndGoesOn) {
  EXPECT_EQ(DecodeBase64("=AAA"), Bytes({0xFC, 0x00, 0x00}));
  EXPECT_EQ(DecodeBase64("A=AA"), Bytes({0xFF, 0xF0, 0x00}));
  EXPECT_EQ(DecodeBase64("=AAATWFu"), Bytes({0xFC, 0x00, 0x00, 'M', 'a', 'n'}));
  EXPECT_EQ(DecodeBase64("==AA"), Bytes({0xFF, 0xF0, 0x00}));
}

namespace {

std::string DecodeWith(tBase64Decoder::tPath path, const std::string& text) {
  tBase64Decoder decoder(path);
  std::string out;
  decoder.Feed(text.data(), text.size(), out);
  return out;
}

}  // namespace

TEST(Base64, EveryWidePathAgreesOnEveryByteValueInEveryPlaceOfABlock) {
  EXPECT_FALSE(tBase64Decoder(tBase64Decoder::Narrow).UsesWidePath());
  const std::string plain = EncodeBase64(RandomBytes(96, 9)).substr(0, 128);
  for (auto path : {tBase64Decoder::Ssse3, tBase64Decoder::Avx2, tBase64Decoder::Avx512Vbmi}) {
    // Which paths ran shows in the log: a processor without a path's
    // instructions cannot test it.
    std::cout << tBase64Decoder::NameOf(path) << ": " << (tBase64Decoder::Available(path) ? "tested" : "not here")
              << "\n";
    if (!tBase64Decoder::Available(path)) continue;
    EXPECT_STREQ(tBase64Decoder(path).PathName(), tBase64Decoder::NameOf(path));
    for (int b = 0; b < 256; ++b) {
      for (std::size_t at = 0; at < 68; ++at) {
        std::string text = plain;
        text[at] = static_cast<char>(b);
        ASSERT_EQ(DecodeWith(path, text), DecodeWith(tBase64Decoder::Narrow, text))
            << tBase64Decoder::NameOf(path) << ": byte " << b << " at " << at;
      }
    }
    // Every symbol's value: the whole alphabet, in each of the four places
    // of a group, in every place of a block.
    const std::string alphabet(Base64Alphabet);
    for (std::size_t rotate = 0; rotate < 64; ++rotate) {
      std::string text = alphabet.substr(rotate) + alphabet + alphabet.substr(0, rotate);
      std::string again = EncodeBase64(DecodeWith(path, text));
      std::erase_if(again, [](char c) { return c == '\r' || c == '\n'; });
      EXPECT_EQ(again, text) << tBase64Decoder::NameOf(path);
    }
  }
}

TEST(Base64, EveryWidePathAgreesOnLinesOfOneOrTwoLengthsAndWhereTheyChange) {
  // Books break their text into lines of one length, or of two that
  // alternate (as EncodeBase64 does); the wide paths pass such lines whole.
  // One line is then spoiled, in each place and in each way.
  struct tLayout {
    std::size_t first, second;
    std::string ending;
  } layouts[] = {{76, 76, "\r\n"},     {64, 64, "\n"}, {80, 76, "\r\n"},
                 {72, 72, "\r\n    "}, {32, 32, "\n"}, {16, 16, " "}};
  const std::string symbols = WithoutBreaks(EncodeBase64(RandomBytes(3000, 11)));
  for (const auto& layout : layouts) {
    for (std::size_t spoilt = 0; spoilt < 8; ++spoilt) {
      for (int way = 0; way < 6; ++way) {
        std::string text;
        std::size_t from = 0;
        for (std::size_t line = 0; line < 24; ++line) {
          std::size_t length = line % 2 ? layout.second : layout.first;
          if (line == spoilt && way == 0) length += 4;  // a longer line
          if (line == spoilt && way == 1) length -= 4;  // a shorter one
          if (line == spoilt && way == 2) length -= 1;  // one that splits a group
          std::string part = symbols.substr(from, length);
          from += length;
          if (line == spoilt && way == 3) part[length / 2] = '-';  // a foreign byte
          if (line == spoilt && way == 4) part[length - 1] = '=';  // the end
          text += part + (line == spoilt && way == 5 ? "\t" + layout.ending : layout.ending);
        }
        for (auto path : {tBase64Decoder::Ssse3, tBase64Decoder::Avx2, tBase64Decoder::Avx512Vbmi}) {
          if (!tBase64Decoder::Available(path)) continue;
          ASSERT_EQ(DecodeWith(path, text), DecodeWith(tBase64Decoder::Narrow, text))
              << tBase64Decoder::NameOf(path) << ": lines of " << layout.first << " and " << layout.second << ", line "
              << spoilt << " spoilt the " << way << "th way";
        }
      }
    }
  }
}

TEST(Base64, FeedUpToStopsAtItsByteWhereverItStandsOnEveryPath) {
  // A content ends at its first '<': inside a group, in a blank run, after
  // the padding, or inside a run of plain lines. What comes before it decodes
  // as Feed decodes it alone; nothing after it is taken.
  const std::string lines = EncodeBase64(RandomBytes(2000, 12));
  const std::string texts[] = {lines, "QUJDRA==\r\n  \t", "TWFu \r\n TWE=", lines.substr(0, 700) + "\x01" + lines};
  std::mt19937 rng(3);
  for (auto path : {tBase64Decoder::Narrow, tBase64Decoder::Ssse3, tBase64Decoder::Avx2, tBase64Decoder::Avx512Vbmi}) {
    for (const std::string& whole : texts) {
      for (std::size_t cut = 0; cut <= whole.size(); cut += 1 + rng() % 23) {
        const std::string before = whole.substr(0, cut);
        const std::string text = before + "<" + whole;
        tBase64Decoder alone(path), upTo(path);
        std::string expected;
        alone.Feed(before.data(), before.size(), expected);
        std::string got;
        std::size_t taken = 0;
        for (bool stopped = false; !stopped && taken < text.size();) {
          const std::size_t piece = std::min<std::size_t>(text.size() - taken, 1 + rng() % 300);
          std::vector<char> room(tBase64Decoder::MaxOutput(piece));
          std::size_t used = 0;
          got.append(room.data(), upTo.FeedUpTo('<', text.data() + taken, piece, room.data(), used));
          taken += used;
          stopped = used < piece;
        }
        ASSERT_EQ(taken, cut) << tBase64Decoder::NameOf(path);
        ASSERT_EQ(got, expected) << tBase64Decoder::NameOf(path) << " cut at " << cut;
        ASSERT_EQ(upTo.Damaged(), alone.Damaged()) << tBase64Decoder::NameOf(path) << " cut at " << cut;
      }
    }
  }
}

TEST(Base64, TheShippedBuildIgnoresTheTestSwitch) {
  const char* before = std::getenv("FB2PACK_BASE64");
  const std::string saved = before ? before : "";
  testfiles::SetEnv("FB2PACK_BASE64", "portable");
  EXPECT_EQ(platform::Base64PathAsked(), "") << "only test builds of the plug-in heed it";
  testfiles::SetEnv("FB2PACK_BASE64", before ? saved.c_str() : nullptr);
}

TEST(Base64, PiecesGiveTheBytesOfTheWholeTextAndStayInTheirRoom) {
  // Texts of plain runs broken by line ends, indentation, foreign bytes and
  // the odd "=", cut into pieces at random places.
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    while (text.size() < 600) {
      switch (rng() % 8) {
        case 0: text += "\r\n"; break;
        case 1: text += std::string(rng() % 9, ' '); break;
        case 2: text += static_cast<char>(rng() % 256); break;
        case 3:
          if (rng() % 6 == 0) text += '=';
          break;
        default: text += EncodeBase64(RandomBytes(rng() % 60, static_cast<unsigned>(rng()))); break;
      }
    }
    const std::string whole = DecodeWith(tBase64Decoder::Narrow, text);
    tBase64Decoder decoder;
    std::string got;
    for (std::size_t at = 0; at < text.size();) {
      std::size_t length = std::min<std::size_t>(text.size() - at, rng() % 70);
      // The room the decoder asks for and a fenced margin behind it.
      std::vector<char> room(tBase64Decoder::MaxOutput(length) + 8, '\x5A');
      std::size_t n = decoder.Feed(text.data() + at, length, room.data());
      ASSERT_LE(n, tBase64Decoder::MaxOutput(length) - 16);
      for (std::size_t k = room.size() - 8; k < room.size(); ++k) ASSERT_EQ(room[k], '\x5A');
      got.append(room.data(), n);
      at += length;
    }
    ASSERT_EQ(got, whole) << "round " << round;
  }
}
