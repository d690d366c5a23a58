#include "format/References.h"

#include <cstring>

#include "format/BookFormat.h"
#include "format/ElementScan.h"
#include "format/EntryName.h"
#include "format/StartTag.h"
#include "reader/SeqRead.h"
#include "textutil/Ascii.h"

namespace {

// No id is longer; a longer value is no reference worth keeping whole.
constexpr std::size_t kMaxValue = 1 << 16;

// The name without its prefix.
std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// A tag that starts an entry, as the element scan tells them.
bool StartsEntry(std::string_view tag) { return tag.starts_with(kBinaryStart.substr(1)); }

constexpr unsigned Tail(const char (&s)[4]) {
  return static_cast<unsigned char>(s[0]) << 16 | static_cast<unsigned char>(s[1]) << 8 |
         static_cast<unsigned char>(s[2]);
}

}  // namespace

void tReferenceScan::Feed(const char* bytes, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    if (state_ == Text) {
      // Text runs to the next '<', looked for in bulk.
      const void* lt = std::memchr(bytes + i, '<', n - i);
      if (lt == nullptr) return;
      i = static_cast<std::size_t>(static_cast<const char*>(lt) - bytes) + 1;
      state_ = Lt;
      continue;
    }
    if (state_ == BinaryContent) {
      // An entry's content runs to its end tag, looked for in bulk.
      const void* lt = std::memchr(bytes + i, '<', n - i);
      if (lt == nullptr) return;
      i = static_cast<std::size_t>(static_cast<const char*>(lt) - bytes) + 1;
      endMatched_ = 1;
      state_ = BinaryEnd;
      continue;
    }
    Step(bytes[i++]);
  }
}

void tReferenceScan::Step(char c) {
  const bool blank = IsBlank(static_cast<unsigned char>(c));
  // A '<' inside markup is no XML: the markup is taken to end there, so that
  // a broken tag cannot swallow the rest of the book.
  if (state_ == BinaryEnd) {
    if (c == kBinaryEnd[endMatched_]) {
      if (++endMatched_ == kBinaryEnd.size()) state_ = Text;
    } else {
      endMatched_ = c == '<' ? 1 : 0;
      if (c != '<') state_ = BinaryContent;
    }
    return;
  }
  if (c == '<' && state_ != Comment && state_ != Cdata && state_ != Pi) {
    state_ = Lt;
    return;
  }
  switch (state_) {
    case Text:
    case BinaryContent:
    case BinaryEnd: break;
    case Lt:
      held_.clear();
      if (c == '!') {
        held_ = "!";
        state_ = Bang;
      } else if (c == '?') {
        tail_ = 0;
        state_ = Pi;
      } else if (c == '/') {
        tag_.clear();
        state_ = EndTag;
      } else if (blank || c == '>') {
        state_ = Text;
      } else {
        tag_.assign(1, c);
        slash_ = false;
        state_ = TagName;
      }
      break;
    case EndTag:
      if (c == '>') {
        EndTagEnds();
        state_ = Text;
      } else if (!blank && tag_.size() < kMaxValue) {
        tag_ += c;
      }
      break;
    case Bang: {
      held_ += c;
      static constexpr std::string_view kComment = "!--", kCdata = "![CDATA[";
      tail_ = 0;
      if (held_ == kComment) {
        state_ = Comment;
      } else if (held_ == kCdata) {
        state_ = Cdata;
      } else if (!kComment.starts_with(held_) && !kCdata.starts_with(held_)) {
        state_ = c == '>' ? Text : Declaration;
      }
      break;
    }
    case Comment:
    case Cdata:
    case Pi:
      tail_ = (tail_ << 8 | static_cast<unsigned char>(c)) & 0xFFFFFF;
      if ((state_ == Comment && tail_ == Tail("-->")) || (state_ == Cdata && tail_ == Tail("]]>")) ||
          (state_ == Pi && (tail_ & 0xFFFF) == ('?' << 8 | '>'))) {
        state_ = Text;
      }
      break;
    case Declaration:
      if (c == '>') state_ = Text;
      break;
    case TagName:
      if (c == '>') {
        TagEnds(false);
      } else if (blank || c == '/') {
        slash_ = c == '/';
        state_ = Attributes;
      } else if (tag_.size() < kMaxValue) {
        tag_ += c;
      }
      break;
    case Attributes:
      if (c == '>') {
        TagEnds(slash_);
      } else if (c == '/') {
        slash_ = true;
      } else if (!blank) {
        slash_ = false;
        held_.assign(1, c);
        state_ = AttributeName;
      }
      break;
    case AttributeName:
    case AfterName:
      if (c == '=') {
        if (state_ == AttributeName) name_ = held_;
        state_ = BeforeValue;
      } else if (c == '>') {
        TagEnds(false);
      } else if (c == '/') {
        slash_ = true;
        state_ = Attributes;
      } else if (blank) {
        if (state_ == AttributeName) name_ = held_;
        state_ = AfterName;
      } else if (state_ == AfterName) {
        held_.assign(1, c);  // the last name had no value
        state_ = AttributeName;
      } else if (held_.size() < kMaxValue) {
        held_ += c;
      }
      break;
    case BeforeValue:
      if (c == '"' || c == '\'') {
        quote_ = c;
        held_.clear();
        state_ = Value;
      } else if (c == '>') {
        TagEnds(false);
      } else if (!blank) {
        state_ = Unquoted;
      }
      break;
    case Value:
      if (c != quote_) {
        if (held_.size() < kMaxValue) held_ += c;
        break;
      }
      if (LocalName(name_) == "href" && !held_.empty() && held_[0] == '#' && !StartsEntry(tag_)) {
        Targets.push_back(IdInUtf8(held_.substr(1), charset_));
        // The first image of a cover page; a source book's cover page is
        // that book's, not this one's.
        if (coverpage_ > 0 && srcTitleInfo_ > 0 && !HasSourceCover) {
          HasSourceCover = true;
          SourceCover = Targets.back();
        } else if (coverpage_ > 0 && titleInfo_ > 0 && srcTitleInfo_ == 0 && !HasCover) {
          HasCover = true;
          Cover = Targets.back();
        }
      }
      slash_ = false;
      state_ = Attributes;
      break;
    case Unquoted:
      if (c == '>') TagEnds(false);
      if (blank) state_ = Attributes;
      break;
  }
}

void tReferenceScan::TagEnds(bool closesItself) {
  state_ = Text;
  if (closesItself) return;
  if (StartsEntry(tag_)) {
    state_ = BinaryContent;
    return;
  }
  const std::string_view name = LocalName(tag_);
  if (name == "title-info") ++titleInfo_;
  if (name == "src-title-info") ++srcTitleInfo_;
  if (name == "coverpage") ++coverpage_;
}

void tReferenceScan::EndTagEnds() {
  const std::string_view name = LocalName(tag_);
  if (name == "title-info" && titleInfo_ > 0) --titleInfo_;
  if (name == "src-title-info" && srcTitleInfo_ > 0) --srcTitleInfo_;
  if (name == "coverpage" && coverpage_ > 0) --coverpage_;
}

bool ReadBookReferences(const std::string& path, tBookReferences& out) {
  out = {};
  tDiskRead book(path);
  if (book.Handle == platform::InvalidHandle || book.ShortRead) return false;
  const tCharset charset = DeclaredCharset(reinterpret_cast<const char*>(book.Window), book.WindowLength);
  // The elements, named as the listing names them.
  tElementScan scan(book);
  tEntryNames names;
  tStartTag tag;
  std::string name;
  while (NextListed(scan, charset, names, tag, name)) out.Elements.push_back({name, IdInUtf8(tag.Id, charset)});
  // The references, in one more pass over the whole book.
  tReferenceScan references(charset);
  book.SeekTo(0);
  while (!book.Eof) {
    references.Feed(reinterpret_cast<const char*>(book.Here()), book.Ahead());
    book.Skip(book.Ahead());
  }
  out.Targets = std::move(references.Targets);
  out.HasCover = references.HasCover;
  out.HasSourceCover = references.HasSourceCover;
  out.Cover = std::move(references.Cover);
  out.SourceCover = std::move(references.SourceCover);
  return !book.ShortRead;
}
