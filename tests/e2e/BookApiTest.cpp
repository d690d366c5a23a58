// The further export, called as the command-line host calls it (stdcall on
// 32-bit Windows): what it tells of a book, and a book held for one change.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "Scenario.h"

using api::Plugin;

namespace {

const tFb2Api& Api() {
  const tFb2Api* api = Plugin().BookApi;
  if (api == nullptr) throw std::runtime_error("the plug-in has no " FB2API_EXPORT_NAME " of this version");
  return *api;
}

// The book of elements a.png, a dangling cover reference, and a.png again.
std::string CoveredBook() {
  return api::kHead +
         "<description><title-info><coverpage><image l:href=\"#gone.png\"/></coverpage></title-info></description>"
         "<body><image l:href=\"#a.png\"/></body>\r\n"
         "<binary id=\"a.png\" content-type=\"image/png\">iVBORw0KGgo=</binary>\r\n"
         "<binary id=\"b.png\">QUJD</binary>\r\n"
         "<binary id=\"a.png\">QUJD</binary>\r\n" +
         api::kTail;
}

}  // namespace

TEST(BookApi, TellsTheEntriesMarksAndMissingReferencesOfABookReadOnce) {
  const tFb2Api& api = Api();
  EXPECT_EQ(api.Version, unsigned{FB2API_VERSION});
  ScratchDir dir;
  Spit(dir.File("b.fb2"), CoveredBook());
  tFb2Book* book = nullptr;
  std::vector<char> path = CString(dir.File("b.fb2"));
  ASSERT_EQ(api.OpenBook(path.data(), FB2API_DECODE_ENTRIES, nullptr, nullptr, &book), 0);
  tFb2BookFacts facts{};
  api.BookFacts(book, &facts);
  EXPECT_EQ(facts.Entries, 3u);
  EXPECT_TRUE(facts.Ends);
  ASSERT_EQ(facts.Missing, 1u);
  EXPECT_STREQ(api.Missing(book, 0), "gone.png");
  tFb2Entry e{};
  ASSERT_TRUE(api.Entry(book, 0, &e));
  EXPECT_STREQ(e.Id, "a.png");
  EXPECT_TRUE(e.Shown && e.Referenced);
  EXPECT_EQ(e.Size, 8u);
  EXPECT_STREQ(e.ContentType, "image/png");
  ASSERT_TRUE(api.Entry(book, 2, &e));
  EXPECT_FALSE(e.Shown || e.Referenced) << "a reference shows the first element of an id";
  EXPECT_FALSE(api.Entry(book, 3, &e));
  EXPECT_EQ(api.DeleteEntries(book, nullptr), E_NOT_SUPPORTED) << "a book read for a look is never changed";
  api.CloseBook(book);
  EXPECT_EQ(Slurp(dir.File("b.fb2")), CoveredBook());
}

TEST(BookApi, ABookHeldForAChangeTakesOneChange) {
  const tFb2Api& api = Api();
  ScratchDir dir;
  Spit(dir.File("b.fb2"), CoveredBook());
  std::vector<char> path = CString(dir.File("b.fb2"));
  tFb2Book* book = nullptr;
  ASSERT_EQ(api.OpenBook(path.data(), FB2API_FOR_CHANGE, nullptr, nullptr, &book), 0);
  std::vector<char> list = api::List({"b.png"});
  EXPECT_EQ(api.DeleteEntries(book, list.data()), 0);
  tFb2CoverOutcome out{};
  api.SetCover(book, "", "a.png", &out);
  EXPECT_EQ(out.Result, FB2API_COVER_FAILED) << "the map read before the change no longer holds";
  api.CloseBook(book);
  const std::vector<std::string> names = api::Names(dir.File("b.fb2"));
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "a.png") << "b.png went, and only it";
  // Null handles and outcomes are refused, never followed.
  EXPECT_NE(api.OpenBook(nullptr, 0, nullptr, nullptr, &book), 0);
  EXPECT_EQ(book, nullptr);
  EXPECT_EQ(api.DeleteEntries(nullptr, list.data()), E_NOT_SUPPORTED);
  api.SetCover(nullptr, "", "a.png", nullptr);
  api.CloseBook(nullptr);
  // A version the plug-in does not speak gives no table.
  tFb2ApiFn table = nullptr;
  void* symbol = Plugin().Symbol(FB2API_EXPORT_NAME);
  std::memcpy(&table, &symbol, sizeof table);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table(FB2API_VERSION), Plugin().BookApi);
  EXPECT_EQ(table(FB2API_VERSION + 1), nullptr);
}
