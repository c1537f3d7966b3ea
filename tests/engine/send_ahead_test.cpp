// The look-ahead on its own: which requests it hints, in which order, what it learns from the
// answers already in, and where it stops. A fake connection records the hints; a fake crawl
// resolves links as the crawl would.
#include "engine/send_ahead.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "inet/url.h"

namespace tk {
namespace {

class HintLog final : public inet::HttpConnection {
 public:
  const std::string& ServerName() const override { return m_host; }
  int Port() const override { return 80; }
  std::unique_ptr<inet::HttpRequest> OpenRequest(std::string_view, std::uint32_t, inet::Error&) override {
    return nullptr;
  }
  void Prefetch(std::string_view object, std::uint32_t) override { batch.emplace_back(object); }
  bool PeekAhead(std::string_view object, std::uint32_t, std::string& contentType, std::string& body) override {
    auto page = answers.find(std::string(object));
    if (page == answers.end()) return false;
    contentType = "text/html";
    body = page->second;
    return true;
  }
  // The hints of the last look, nearest first (they are given nearest last).
  std::vector<std::string> Nearest() const { return {batch.rbegin(), batch.rend()}; }

  std::vector<std::string> batch;
  std::map<std::string, std::string> answers;  // pages whose answers are in

 private:
  std::string m_host = "site";
};

class FakeCrawl final : public AheadCrawl {
 public:
  AheadLink ResolveAhead(const std::string& url, bool parseHtml, int depth) override {
    AheadLink link;
    auto parsed = inet::ParseUrl(url);
    if (!parsed || parsed->object.find("refused") != std::string::npos) return link;
    link.object = parsed->object.substr(0, parsed->object.find('#'));
    link.key = parsed->host + link.object;
    link.host = parsed->host;
    link.port = parsed->port;
    link.page = parseHtml;
    link.depth = depth;
    return link;
  }
  bool Visited(const std::string& key, std::size_t, std::uint32_t&) const override { return visited.count(key) != 0; }
  std::vector<AheadLink> RescanAhead(AheadLink& page) override {
    std::vector<AheadLink> links;
    auto it = rescans.find(page.key);
    if (it == rescans.end() || barren.count(page.key)) return links;
    for (const auto& url : it->second) links.push_back(ResolveAhead("http://site/" + url, true, page.depth + 1));
    return links;
  }
  void NoteRescanBarren(const AheadLink& page) override { barren.insert(page.key); }
  // A turn that asks for something meets a URL: the count moves on.
  std::size_t VisitedCount() const override { return visited.size() + turns; }
  PageContext AheadScanContext(const AheadLink& page) const override {
    PageContext context;
    context.host = page.host;
    context.object = page.object;
    context.depth = page.depth;
    context.linkLayers = 100;
    return context;
  }
  inet::HttpConnection* AheadConnection() override { return &connection; }
  std::uint32_t AheadRequestFlags() const override { return 0; }
  bool AheadCancelled() override { return false; }

  HintLog connection;
  std::set<std::string> visited;
  std::map<std::string, std::vector<std::string>> rescans;  // visited pages their turns rescan: their links
  std::set<std::string> barren;
  std::size_t turns = 0;
};

// The links a page's scan asks for, as the look-ahead's dry scan finds them.
std::vector<AheadLink> LinksOf(SendAhead& ahead, const std::string& object, const std::string& html) {
  PageContext context;
  context.host = "site";
  context.object = object;
  context.linkLayers = 100;
  return ahead.DryScan(context, [&html](const std::function<void(std::string_view)>& each) {
    each(html);
    return true;
  });
}

std::string Page(const std::vector<std::string>& links) {
  std::string html = "<html>";
  for (const auto& link : links) html += "<a href=" + link + ">x</a>";
  return html + "</html>";
}

TEST(SendAhead, HintsTheTurnsToComeInDepthFirstOrderNearestFirst) {
  struct Case {
    const char* name;
    std::vector<std::string> links;                 // of the page being scanned
    std::map<std::string, std::string> answers;     // pages answered before their turn
    std::set<std::string> visited;
    std::size_t taken;                              // links of the page already asked for
    std::vector<std::string> hinted;                // nearest first
    std::map<std::string, std::vector<std::string>> rescans = {};
    std::set<std::string> barren = {};              // rescans found to ask for nothing new
  };
  const Case cases[] = {
      {"the page's links in scan order", {"a.html", "b.html", "c.gif"}, {}, {}, 0,
       {"/a.html", "/b.html", "/c.gif"}},
      {"those asked for already are past", {"a.html", "b.html", "c.gif"}, {}, {}, 2, {"/c.gif"}},
      {"visited, repeated, refused or on another server: never requested",
       {"a.html", "./a.html", "A.html#top", "b.html", "refused.html", "http://other/x.html", "a.html"}, {},
       {"site/b.html"}, 0, {"/a.html"}},
      {"a page answered early is followed by what it links to, before the rest",
       {"a.html", "b.html"}, {{"/a.html", Page({"a1.html", "a2.gif", "b.html"})}}, {}, 0,
       {"/a1.html", "/a2.gif", "/b.html"}},
      {"two layers of early answers, each page's links in their place",
       {"a.html", "z.gif"},
       {{"/a.html", Page({"a1.html", "a2.html"})}, {"/a1.html", Page({"deep.gif"})}}, {}, 0,
       {"/deep.gif", "/a2.html", "/z.gif"}},
      {"a visited page its turn rescans leads to what that rescan asks for, rescans within it too",
       {"a.html", "b.html"}, {}, {"site/a.html", "site/c.html"}, 0,
       {"/c1.gif", "/a1.gif", "/b.html"},
       {{"site/a.html", {"c.html", "a1.gif"}}, {"site/c.html", {"c1.gif"}}}},
      {"a rescan that asks only for what is visited is noted so, and hints nothing",
       {"a.html", "b.html"}, {}, {"site/a.html", "site/b.html", "site/x.html"}, 0, {},
       {{"site/a.html", {"x.html"}}}, {"site/a.html"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCrawl crawl;
    crawl.connection.answers = c.answers;
    crawl.rescans = c.rescans;
    for (const auto& key : c.visited) crawl.visited.insert(key);
    SendAhead ahead(crawl, 64, 1023);
    auto links = LinksOf(ahead, "/index.html", Page(c.links));
    SendAhead::Scope scope(ahead, std::move(links));
    for (std::size_t i = 0; i < c.taken; ++i) {
      crawl.connection.batch.clear();
      ++crawl.turns;
      scope.Next();
    }
    EXPECT_EQ(crawl.connection.Nearest(), c.hinted);
    EXPECT_EQ(crawl.barren, c.barren);
  }
}

// Pages whose answers are in need no connection: however many of them come first, the next
// requests that do still get hinted. And the nesting bound: turns that come that deep are put
// off, so nothing of theirs goes ahead.
TEST(SendAhead, AnswersInLeaveRoomForTheNextRequestsAndTheNestingBoundHolds) {
  FakeCrawl crawl;
  std::vector<std::string> answered;
  for (int i = 0; i < 20; ++i) {
    answered.push_back("p" + std::to_string(i) + ".html");
    crawl.connection.answers["/p" + std::to_string(i) + ".html"] = Page({});
  }
  answered.push_back("wanted.gif");
  SendAhead ahead(crawl, 64, 1023);
  SendAhead::Scope scope(ahead, LinksOf(ahead, "/index.html", Page(answered)));
  EXPECT_EQ(crawl.connection.Nearest(), std::vector<std::string>{"/wanted.gif"});

  // A chain of pages answered early: the look goes down it only as far as pages are scanned in
  // place; below the bound their links wait for the end of the tree.
  FakeCrawl chain;
  for (int i = 0; i < 10; ++i)
    chain.connection.answers["/c" + std::to_string(i) + ".html"] =
        Page({"c" + std::to_string(i + 1) + ".html", "g" + std::to_string(i) + ".gif"});
  SendAhead bounded(chain, 4, 1023);
  SendAhead::Scope top(bounded, LinksOf(bounded, "/index.html", Page({"c0.html"})));
  // index.html's links are asked for with one scan open, c0's with two, c1's with three; c2's
  // would be with four, the bound: put off, they are not looked at.
  EXPECT_EQ(chain.connection.Nearest(), (std::vector<std::string>{"/g1.gif", "/g0.gif"}));
}

}  // namespace
}  // namespace tk
