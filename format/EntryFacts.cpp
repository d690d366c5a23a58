#include "format/EntryFacts.h"

#include <memory>

#include "format/StartTag.h"

namespace {

// Enough for every kind SniffImage tells, SVG after a long preamble included.
constexpr std::size_t kHeadBytes = 4096;

// Keeps an entry's first bytes and counts them all, handing each piece on.
class tFactsSink final : public tContentSink {
 public:
  explicit tFactsSink(const tEntryBytes& bytes) : bytes_(bytes) {}
  char* Room() override { return room_.data(); }
  void Took(std::size_t n) override {
    if (Facts.Head.size() < kHeadBytes) Facts.Head.append(room_.data(), std::min(n, kHeadBytes - Facts.Head.size()));
    Facts.Size += n;
    if (bytes_) bytes_(Entry, reinterpret_cast<const std::uint8_t*>(room_.data()), n);
  }
  tEntryFacts Facts;
  std::size_t Entry = 0;

 private:
  const tEntryBytes& bytes_;
  std::vector<char> room_ = std::vector<char>(kMaxPiece);
};

}  // namespace

tEachElement InspectEntries(std::vector<tEntryFacts>& out, const tEntryBytes& bytes) {
  out.clear();
  auto sink = std::make_shared<tFactsSink>(bytes);
  return [&out, sink](tBookRead& book, const tStartTag& tag, const std::string&) {
    sink->Facts = {tag.ContentType, {}, 0, {}};
    sink->Entry = out.size();
    sink->Facts.End = ReadEntryContent(book, tag.ClosesItself, *sink);
    out.push_back(std::move(sink->Facts));
  };
}
