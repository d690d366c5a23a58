#include "format/EntryFacts.h"

#include "format/BookRead.h"
#include "format/ImageCheck.h"
#include "format/StartTag.h"

namespace {

// Enough for every kind SniffImage tells, SVG after a long preamble included.
constexpr std::size_t kHeadBytes = 4096;

// Keeps an entry's first bytes and checks the image all of them make.
class tFactsSink final : public tContentSink {
 public:
  char* Room() override { return room_.data(); }
  void Took(std::size_t n) override {
    if (Head.size() < kHeadBytes) Head.append(room_.data(), std::min(n, kHeadBytes - Head.size()));
    Check.Feed(reinterpret_cast<const std::uint8_t*>(room_.data()), n);
  }
  std::string Head;
  tImageCheck Check;

 private:
  std::vector<char> room_ = std::vector<char>(kMaxPiece);
};

}  // namespace

bool InspectBook(const std::string& path, std::vector<tEntryFacts>& out, tBookReferences& refs) {
  out.clear();
  tFactsSink sink;
  // As the listing walks when it extracts: the next search starts where the
  // last content ended.
  return ReadBookReferences(path, refs, [&](tBookRead& book, const tStartTag& tag, const std::string& name) {
    tEntryFacts facts{name, tag.ContentType, {}, {}, {}};
    facts.End = ReadEntryContent(book, tag.ClosesItself, sink);
    facts.Head.swap(sink.Head);
    facts.ImageDamage = sink.Check.Damage();
    sink.Head.clear();
    sink.Check = {};
    out.push_back(std::move(facts));
  });
}
