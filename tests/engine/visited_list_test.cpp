// The run's compact lists: the visited list, the names given out, the pages held for the
// end-of-run mending and the links kept for rescans, each as the crawl uses it, at sizes where
// their tables grow and their file is written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "engine/held_pages.h"
#include "engine/page_link_file.h"
#include "engine/run_state.h"
#include "support/temp_dir.h"

namespace tk::test {
namespace {

TEST(VisitedList, EveryUrlIsGivenBackExactlyAsFirstAskedFor) {
  VisitedList list;
  struct Row {
    const char* key;
    const char* url;
  } rows[] = {
      {"http://h:80/a.htm", "http://h:80/a.htm"},                       // the key itself
      {"http://h:80/b.htm", "http://h/b.htm"},                          // without its default port
      {"http://h:80/d2/a.htm", "http://h/d1/../d2/a.htm"},              // dot segments as written
      {"http://h:8080/d/a.htm", "http://H:8080/./d/a.htm"},             // case and dot segments
      {"https://[::1]:443/x?q=1", "https://[::1]/x?q=1"},               // a literal IPv6 host
      {"http://h:80/a/a/a.htm", "http://h/a/a/a/a/a.htm"},              // repeats on both sides
      {"http://h:80", "http://h"},                                      // no path at all
      {"ftp://u@f:21/pub/", "ftp://u@f/pub/"},                          // a login before the host
      {"mailto:x@y", "mailto:x@y"},                                     // no "://"
      {"http://h:80/a%20b.htm", "http://h/a b.htm"},                    // nothing in common at the end
      {"http://h:80/p.htm", "http://h/p.htm#frag"},                     // a longer URL than its key
      {"x", ""},                                                        // an empty URL
  };
  std::vector<UrlRecord*> records;
  for (const Row& row : rows) {
    auto [record, added] = list.Add(row.key);
    ASSERT_TRUE(added) << row.key;
    list.SetUrl(*record, row.url);
    records.push_back(record);
  }
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].url);
    const UrlRecord& record = *records[i];
    EXPECT_EQ(record.Url(), rows[i].url);
    EXPECT_EQ(record.Key, rows[i].key);
    // UrlIs says yes to that spelling only, among the spellings of every row and their near misses.
    for (const Row& other : rows) {
      const std::string spellings[] = {other.url, other.key, std::string(other.url) + "x",
                                       std::string(other.url).substr(0, std::string(other.url).size() / 2)};
      for (const std::string& spelling : spellings)
        EXPECT_EQ(record.UrlIs(spelling), spelling == rows[i].url) << spelling;
    }
  }
}

TEST(VisitedList, OneRecordPerKeyWhateverItsCaseAndRecordsNeverMove) {
  VisitedList list;
  auto [first, added] = list.Add("http://h:80/Page.htm");
  ASSERT_TRUE(added);
  list.SetUrl(*first, "http://h/Page.htm");
  first->LocalPath = "page.htm";
  // Thousands more, so the table grows many times over.
  std::vector<UrlRecord*> records;
  for (int i = 0; i < 20000; ++i) {
    auto [record, isNew] = list.Add("http://h:80/p" + std::to_string(i) + ".htm");
    ASSERT_TRUE(isNew);
    records.push_back(record);
  }
  EXPECT_EQ(list.size(), 20001u);
  auto [again, addedAgain] = list.Add("HTTP://H:80/PAGE.HTM");
  EXPECT_FALSE(addedAgain);
  EXPECT_EQ(again, first);
  EXPECT_EQ(first->LocalPath, "page.htm");
  EXPECT_EQ(list.Find("http://h:80/page.htm"), first);
  EXPECT_EQ(list.count("http://h:80/page.htm"), 1u);
  EXPECT_EQ(list.Find("http://h:80/page.htm2"), nullptr);
  EXPECT_EQ(list.count("http://h:80/Page"), 0u);
  for (int i = 0; i < 20000; i += 997) {
    EXPECT_EQ(list.Find("http://h:80/P" + std::to_string(i) + ".HTM"), records[i]);
    EXPECT_EQ(&list.At(records[i]->Index), records[i]);
  }
  // A copy of the list reads the same text.
  const VisitedList copy = list;
  ASSERT_NE(copy.Find("http://h:80/page.htm"), nullptr);
  EXPECT_EQ(copy.Find("http://h:80/page.htm")->Url(), "http://h/Page.htm");
}

TEST(VisitedList, RuleContextsAreNumberedOnceEach) {
  VisitedList list;
  const std::uint32_t site = list.Context("h ");
  const std::uint32_t none = list.Context("");
  EXPECT_NE(site, 0u);
  EXPECT_NE(none, 0u);
  EXPECT_NE(site, none);
  EXPECT_EQ(list.Context("h "), site);
  EXPECT_EQ(list.Context(""), none);
  EXPECT_EQ(list.ContextText(site), "h ");
  EXPECT_EQ(list.ContextText(none), "");
}

TEST(NameSet, ANameIsTakenOnceInAnyCaseAmongThousands) {
  NameSet names;
  std::set<std::string> expected;
  for (int i = 0; i < 30000; ++i) {
    const std::string name = "host/d" + std::to_string(i % 300) + "/p" + std::to_string(i) + ".htm";
    auto [kept, added] = names.insert(name);
    EXPECT_TRUE(added);
    EXPECT_EQ(kept, name);
  }
  EXPECT_EQ(names.size(), 30000u);
  auto [kept, added] = names.insert("HOST/D7/P7.HTM");
  EXPECT_FALSE(added);
  EXPECT_EQ(kept, "host/d7/p7.htm");  // the name as first given out
  EXPECT_TRUE(names.contains("host/d299/P29999.htm"));
  EXPECT_FALSE(names.contains("host/d299/p29999.ht"));
  EXPECT_FALSE(names.contains(""));
  EXPECT_TRUE(names.insert("").second);
  EXPECT_EQ(names.size(), 30001u);
}

HeldPages::Page MakePage(std::uint32_t record, int links) {
  HeldPages::Page page;
  page.record = record;
  page.relPath = "host/d" + std::to_string(record % 7) + "/p" + std::to_string(record) + ".htm";
  page.temp = ".trawlkit-" + std::to_string(record) + ".part";
  if (record % 3) page.modified = 1700000000 + record;
  for (int i = 0; i < links; ++i) {
    HeldPages::Link& link = page.links.emplace_back();
    link.offset = 100u * i + (std::uint64_t{record} << 33);
    link.length = 10 + i;
    if (i % 2) {
      link.record = record + i;
    } else {
      link.key = "http://host:80/k" + std::to_string(record) + "/" + std::to_string(i) + std::string(i, 'x');
    }
  }
  return page;
}

void ExpectSamePage(const HeldPages::Page& got, const HeldPages::Page& want) {
  EXPECT_EQ(got.record, want.record);
  EXPECT_EQ(got.relPath, want.relPath);
  EXPECT_EQ(got.temp, want.temp);
  EXPECT_EQ(got.modified, want.modified);
  ASSERT_EQ(got.links.size(), want.links.size());
  for (std::size_t i = 0; i < got.links.size(); ++i) {
    EXPECT_EQ(got.links[i].offset, want.links[i].offset);
    EXPECT_EQ(got.links[i].length, want.links[i].length);
    EXPECT_EQ(got.links[i].record, want.links[i].record);
    EXPECT_EQ(got.links[i].key, want.links[i].key);
  }
}

std::size_t EntriesIn(const std::filesystem::path& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

TEST(HeldPages, PagesComeBackInTheirOrderFromAFileNoOneSees) {
  TempDir dir;
  struct Row {
    const char* name;
    std::filesystem::path folder;
    int pages;
  } rows[] = {
      {"a few pages, all still in memory", dir.Path(), 3},
      {"thousands, most of them in the file", dir.Path(), 4000},
      {"a folder that is not there: the system's temporary folder", dir / "missing", 2000},
      {"no folder given", {}, 10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    HeldPages held;
    held.Open(row.folder);
    std::vector<HeldPages::Page> pages;
    for (int i = 0; i < row.pages; ++i) {
      pages.push_back(MakePage(static_cast<std::uint32_t>(i * 5), i % 9));
      held.Hold(pages.back(), false);
    }
    EXPECT_EQ(held.size(), static_cast<std::size_t>(row.pages));
    // Nothing of it shows in the copy's folder.
    EXPECT_EQ(EntriesIn(dir.Path()), 0u);
    // Read back whole, as often as asked.
    for (int pass = 0; pass < 2; ++pass) {
      std::size_t n = 0;
      EXPECT_TRUE(held.ForEach([&](const HeldPages::Page& page) {
        ASSERT_LT(n, pages.size());
        ExpectSamePage(page, pages[n++]);
      }));
      EXPECT_EQ(n, pages.size());
    }
    held.clear();
    EXPECT_EQ(held.size(), 0u);
    std::size_t after = 0;
    EXPECT_TRUE(held.ForEach([&](const HeldPages::Page&) { ++after; }));
    EXPECT_EQ(after, 0u);
  }
}

TEST(HeldPages, ARecordHeldAgainIsMendedOnceFromItsLatestPage) {
  TempDir dir;
  HeldPages held;
  held.Open(dir.Path());
  HeldPages::Page first = MakePage(7, 2), other = MakePage(8, 1), second = MakePage(7, 4);
  second.temp = ".trawlkit-later.part";
  held.Hold(first, false);
  held.Hold(other, false);
  held.Hold(second, true);
  std::vector<HeldPages::Page> seen;
  EXPECT_TRUE(held.ForEach([&](const HeldPages::Page& page) { seen.push_back(page); }));
  ASSERT_EQ(seen.size(), 2u);
  ExpectSamePage(seen[0], other);
  ExpectSamePage(seen[1], second);
}

PageLinkList MakeLinks(std::uint32_t page) {
  PageLinkList list;
  for (std::uint32_t i = 0; i < page % 23; ++i) {
    if (i % 3) {
      list.links.push_back(page * 31 + i);
    } else {
      list.links.push_back(PageLinkToText(list.text.size()));
      list.text += "F/d" + std::to_string(page) + "/p" + std::to_string(i) + ".html";
      list.text += '\0';
    }
  }
  return list;
}

TEST(PageLinkFile, ListsComeBackAsLastWrittenWhereverTheyWait) {
  TempDir dir;
  struct Row {
    const char* name;
    std::filesystem::path folder;
    std::uint32_t pages;
  } rows[] = {
      {"a few pages, all still in memory", dir.Path(), 5},
      {"thousands, most of them in the file", dir.Path(), 6000},
      {"a folder that is not there: the system's temporary folder", dir / "missing", 3000},
      {"no folder given", {}, 40},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PageLinkFile file;
    file.Open(row.folder);
    std::vector<PageLinkList> want;
    std::vector<PageLinkFile::Place> places;
    for (std::uint32_t page = 0; page < row.pages; ++page) {
      want.push_back(MakeLinks(page));
      places.push_back(file.Put(want.back()));
    }
    EXPECT_EQ(EntriesIn(dir.Path()), 0u);
    // Every fifth list settled as a rescan leaves it: its text links become record numbers and
    // their text goes, in the file and in what is still in memory alike.
    for (std::uint32_t page = 0; page < row.pages; page += 5) {
      PageLinkList list;
      ASSERT_TRUE(file.Get(places[page], list));
      for (std::uint32_t& link : list.links)
        if (link & kLinkText) link = page;
      list.text.clear();
      ASSERT_TRUE(file.Rewrite(places[page], list));
      want[page] = list;
    }
    // A list that grew cannot go back over its old place, which keeps what it held.
    if (row.pages > 1) {
      PageLinkList longer = want[1];
      longer.links.push_back(7);
      EXPECT_FALSE(file.Rewrite(places[1], longer));
    }
    for (std::uint32_t page = 0; page < row.pages; ++page) {
      PageLinkList got;
      ASSERT_TRUE(file.Get(places[page], got)) << page;
      EXPECT_EQ(got.links, want[page].links) << page;
      EXPECT_EQ(got.text, want[page].text) << page;
    }
  }
}

}  // namespace
}  // namespace tk::test
