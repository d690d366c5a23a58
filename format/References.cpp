#include "format/References.h"

#include <cstring>

#include "format/BookFormat.h"
#include "format/EntryName.h"
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
    if (state_ == Text || state_ == BinaryContent) {
      // Text, and an entry's content, run to the next '<', looked for in bulk.
      const void* lt = std::memchr(bytes + i, '<', n - i);
      if (lt == nullptr) break;
      i = static_cast<std::size_t>(static_cast<const char*>(lt) - bytes);
      tagStart_ = fed_ + i++;
      endMatched_ = 1;
      state_ = state_ == Text ? Lt : BinaryEnd;
      continue;
    }
    Step(bytes[i], fed_ + i);
    ++i;
  }
  fed_ += n;
}

void tReferenceScan::Step(char c, std::uint64_t at) {
  const bool blank = IsBlank(static_cast<unsigned char>(c));
  if (state_ == BinaryEnd) {
    if (c == kBinaryEnd[endMatched_]) {
      if (++endMatched_ == kBinaryEnd.size()) {
        tag_.assign(kBinaryStart.substr(1));
        EndTagEnds(at);
        state_ = Text;
      }
    } else {
      endMatched_ = c == '<' ? 1 : 0;
      if (c != '<') state_ = BinaryContent;
    }
    return;
  }
  // An entry's start tag runs to its first '>', whatever stands in it, as the
  // element walk reads it; it names nothing.
  if (state_ >= TagName && state_ <= Unquoted && StartsEntry(tag_)) {
    if (state_ == TagName) NameEnds(at);
    if (c == '>') {
      TagEnds(slash_, at);
    } else {
      slash_ = c == '/';
      state_ = Attributes;
    }
    return;
  }
  // A '<' inside markup is no XML: the markup is taken to end there, so that
  // a broken tag cannot swallow the rest of the book.
  if (c == '<' && state_ != Comment && state_ != Cdata && state_ != Pi) {
    tagStart_ = at;
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
        tagBindsXlink_ = false;
        tagNames_.clear();
        state_ = TagName;
      }
      break;
    case EndTag:
      if (c == '>') {
        EndTagEnds(at);
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
      if (c == '>' || blank || c == '/') NameEnds(at);
      if (c == '>') {
        TagEnds(false, at);
      } else if (blank || c == '/') {
        slash_ = c == '/';
        state_ = Attributes;
      } else if (tag_.size() < kMaxValue) {
        tag_ += c;
      }
      break;
    case Attributes:
      if (c == '>') {
        TagEnds(slash_, at);
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
        TagEnds(false, at);
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
        valueStart_ = at;
        held_.clear();
        state_ = Value;
      } else if (c == '>') {
        TagEnds(false, at);
      } else if (!blank) {
        state_ = Unquoted;
      }
      break;
    case Value:
      if (c != quote_) {
        if (held_.size() < kMaxValue) held_ += c;
        break;
      }
      ValueEnds(at);
      slash_ = false;
      state_ = Attributes;
      break;
    case Unquoted:
      if (c == '>') TagEnds(false, at);
      if (blank) state_ = Attributes;
      break;
  }
}

void tReferenceScan::NameEnds(std::uint64_t at) {
  isRoot_ = !rootSeen_;
  if (isRoot_) Place.RootName = at;
  rootSeen_ = true;
  const bool image = LocalName(tag_) == "image";
  isCoverImage_ = inCoverPage_ && !Place.HasImage && image;
  if (isCoverImage_) {
    Place.HasImage = true;
    Place.ImageName = at;
  }
  isSourceCoverImage_ = srcTitleInfo_ > 0 && coverpage_ > 0 && !sourceImageSeen_ && image;
  sourceImageSeen_ = sourceImageSeen_ || isSourceCoverImage_;
}

void tReferenceScan::ValueEnds(std::uint64_t at) {
  static constexpr std::string_view kXmlns = "xmlns:", kXlink = "http://www.w3.org/1999/xlink";
  if (name_.starts_with(kXmlns)) {
    tagNames_.push_back(name_.substr(kXmlns.size()));
    if (held_ == kXlink && !tagBindsXlink_) {
      tagBindsXlink_ = true;
      tagXlink_ = tagNames_.back();
    }
  }
  if (LocalName(name_) != "href") return;
  // The cover is the first href of the first image in a cover page of the
  // title, the one the cover edit changes; a source book's is that book's.
  const bool cover = isCoverImage_ && Place.HrefFrom == tCoverPlace::npos;
  if (cover) {
    Place.HrefFrom = valueStart_;
    Place.HrefTo = at + 1;
  }
  const bool sourceCover = isSourceCoverImage_;
  isSourceCoverImage_ = false;
  // Only an image shows a picture: a link (a note, a section, the table of
  // contents) names no image, whatever it points at.
  if (held_.empty() || held_[0] != '#' || LocalName(tag_) != "image") return;
  Targets.push_back(IdInUtf8(held_.substr(1), charset_));
  if (cover) {
    HasCover = true;
    Cover = Targets.back();
  } else if (sourceCover) {
    HasSourceCover = true;
    SourceCover = Targets.back();
  }
}

void tReferenceScan::TagEnds(bool closesItself, std::uint64_t at) {
  state_ = Text;
  const std::string_view name = LocalName(tag_);
  if (isRoot_) Place.RootNames = tagNames_;
  // A prefix for XLink is looked for where it is in scope in title-info.
  const bool ancestor = isRoot_ || name == "description" || name == "title-info";
  if (ancestor && tagBindsXlink_ && !Place.HasXlink && Place.TitleInfos == 0) {
    Place.HasXlink = true;
    Place.Xlink = tagXlink_;
  }
  if (name == "title-info") {
    // The place is the one title-info's; a second makes it unclear.
    if (++Place.TitleInfos == 1 && !closesItself) {
      titleDepth_ = 0;
      childAfter_ = at + 1;
      Place.TitleInfoOpen = at + 1;
      Place.Prefix = tag_.substr(0, tag_.size() - name.size());
    }
  } else if (titleDepth_ == 0) {
    child_ = {true, childAfter_, tagStart_, tCoverPlace::npos};
    childName_ = name;
    if (name == "coverpage") ++Place.CoverPages;
    inCoverPage_ = name == "coverpage" && !closesItself;
    if (closesItself) ChildEnds(at);
  }
  if (titleDepth_ >= 0 && name != "title-info" && !closesItself) ++titleDepth_;
  if (closesItself) return;
  if (name == "title-info") ++titleInfo_;
  if (name == "src-title-info") ++srcTitleInfo_;
  if (name == "coverpage") ++coverpage_;
  if (StartsEntry(tag_)) state_ = BinaryContent;
}

void tReferenceScan::ChildEnds(std::uint64_t at) {
  child_.End = at + 1;
  childAfter_ = at + 1;
  if (!Place.First.Found) Place.First = child_;
  static constexpr std::string_view kBefore[] = {"genre", "author", "book-title", "annotation", "keywords", "date"};
  for (std::string_view before : kBefore) {
    if (childName_ == before) Place.LastBefore = child_;
  }
  if (childName_ == "coverpage" && !Place.CoverPage.Found) Place.CoverPage = child_;
}

void tReferenceScan::EndTagEnds(std::uint64_t at) {
  const std::string_view name = LocalName(tag_);
  if (titleDepth_ == 0 && name == "title-info") {
    Place.TitleInfoClose = tagStart_;
    Place.TitleInfoEnds = true;
    titleDepth_ = -1;
  } else if (titleDepth_ > 0 && --titleDepth_ == 0) {
    if (inCoverPage_ && Place.CoverPageClose == tCoverPlace::npos) Place.CoverPageClose = tagStart_;
    inCoverPage_ = false;
    ChildEnds(at);
  }
  if (name == "title-info" && titleInfo_ > 0) --titleInfo_;
  if (name == "src-title-info" && srcTitleInfo_ > 0) --srcTitleInfo_;
  if (name == "coverpage" && coverpage_ > 0) --coverpage_;
}
