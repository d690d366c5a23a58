#include "BookFacts.h"

#include <new>

#include "Encoding.h"
#include "ImageCheck.h"
#include "NameList.h"

namespace {

// Each entry's image checked as its bytes arrive, in book order.
struct tChecks {
  std::vector<tImageCheck> Each;
  bool Failed = false;
};

void FB2API_CALL Check(void* context, size_t entry, const unsigned char* bytes, size_t n) {
  // Called from inside the plug-in: nothing may be thrown back through it.
  auto& checks = *static_cast<tChecks*>(context);
  try {
    if (checks.Each.size() <= entry) checks.Each.resize(entry + 1);
    checks.Each[entry].Feed(bytes, n);
  } catch (...) {
    checks.Failed = true;
  }
}

}  // namespace

namespace {

// The facts of a book the plug-in has read.
void TakeFacts(const tFb2Api& api, tFb2Book* book, const tChecks* checks, tBookFacts& out) {
  tFb2BookFacts facts{};
  api.BookFacts(book, &facts);
  out.Ends = facts.Ends != 0;
  out.HasCover = facts.HasCover != 0;
  out.Cover = facts.Cover ? facts.Cover : "";
  for (std::size_t i = 0; i < facts.Missing; ++i) out.Missing.emplace_back(api.Missing(book, i));
  for (std::size_t i = 0; i < facts.Entries; ++i) {
    tFb2Entry e{};
    if (!api.Entry(book, i, &e)) break;
    tEntryFacts f;
    f.Name = e.Name;
    f.Id = e.Id;
    f.FullName = e.FullName ? e.FullName : "";
    f.Shown = e.Shown != 0;
    f.Cover = e.Cover != 0;
    f.SourceCover = e.SourceCover != 0;
    f.Referenced = e.Referenced != 0;
    f.ContentType = e.ContentType ? e.ContentType : "";
    f.Head.assign(reinterpret_cast<const char*>(e.Head), e.Head ? e.HeadLength : 0);
    f.Size = e.Size;
    f.Damage = e.Damage;
    if (checks != nullptr) {
      const tImageCheck& check = i < checks->Each.size() ? checks->Each[i] : tImageCheck();
      f.ImageDamage = check.Damage();
      PixelSize(f.Head, check, f.Width, f.Height);
    }
    out.Entries.push_back(std::move(f));
  }
}

}  // namespace

tFactsRead ReadBookFacts(const PluginLoader& plugin, const std::string& pluginPath, bool whole, tBookFacts& out) {
  out = {};
  const tFb2Api* api = plugin.BookApi;
  if (api == nullptr) return tFactsRead::NoApi;
  tChecks checks;
  tFb2Book* book = nullptr;
  const int rc =
      api->OpenBook(pluginPath.c_str(), whole ? FB2API_DECODE_ENTRIES : 0, whole ? Check : nullptr, &checks, &book);
  if (rc == E_NO_MEMORY || checks.Failed) {
    api->CloseBook(book);
    return tFactsRead::NoMemory;
  }
  if (rc != 0 || book == nullptr) return tFactsRead::CannotRead;
  TakeFacts(*api, book, whole ? &checks : nullptr, out);
  api->CloseBook(book);
  return tFactsRead::Ok;
}

tBookForChange::tBookForChange(const PluginLoader& plugin, const std::string& pluginPath) : api_(*plugin.BookApi) {
  Result = api_.OpenBook(pluginPath.c_str(), FB2API_FOR_CHANGE, nullptr, nullptr, &book_);
  if (Result == 0 && book_ != nullptr) TakeFacts(api_, book_, nullptr, Facts);
}

tBookForChange::~tBookForChange() { api_.CloseBook(book_); }

int tBookForChange::Delete(const std::vector<std::string>& names) {
  std::vector<char> list = MakeNameList(names);
  return api_.DeleteEntries(book_, list.data());
}

tFb2CoverOutcome tBookForChange::SetCover(const std::string& file, const std::string& entry) {
  tFb2CoverOutcome out{};
  api_.SetCover(book_, file.c_str(), entry.c_str(), &out);
  return out;
}

std::string NeedsBookApi(const std::string& command) {
  return command + " needs the plug-in's " FB2API_EXPORT_NAME " export (version " + std::to_string(FB2API_VERSION) +
         "), which this plug-in lacks: it offers only the archive operations";
}

tImageKind SniffImage(const PluginLoader& plugin, std::string_view head) {
  const char* label = nullptr;
  const char* type = nullptr;
  if (plugin.BookApi == nullptr ||
      !plugin.BookApi->SniffImage(reinterpret_cast<const unsigned char*>(head.data()), head.size(), &label, &type)) {
    return {};
  }
  return {label, type};
}

std::string ShownName(const tEntryFacts& e) { return e.FullName.empty() ? FromPlugin(e.Name) : e.FullName; }
