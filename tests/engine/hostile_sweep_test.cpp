// Whole runs against a local server that answers with hostile names, redirects and bodies: the
// save folder sits deep inside a sentinel tree whose every entry must keep its size and mtime,
// and every file the log calls saved must be there, inside the save folder, and whole.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/crawler.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::test {
namespace {

namespace fs = std::filesystem;

// Every entry under `root` but `skip` and what lies below it: its kind, size and mtime.
std::map<std::string, std::string> Stamps(const fs::path& root, const fs::path& skip) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    if (it->path() == skip) {
      it.disable_recursion_pending();
      continue;
    }
    struct stat st{};
    std::string rel = fs::relative(it->path(), root).generic_string();
    if (lstat(it->path().c_str(), &st) != 0) {
      out[rel] = "<gone>";
      continue;
    }
    std::ostringstream s;
    s << std::oct << (st.st_mode & S_IFMT) << std::dec << " " << st.st_size << " " << st.st_mtim.tv_sec << "."
      << st.st_mtim.tv_nsec;
    out[rel] = s.str();
  }
  // The folders holding the save folder: anything made and removed in them moves their mtime.
  struct stat st{};
  lstat(root.c_str(), &st);
  out["."] = std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  return out;
}

// A sentinel tree top/a/b/c with the names the hostile links aim at planted on every level;
// the save folder is top/a/b/c/save, made beforehand so that c's mtime must hold too.
struct Sentinel {
  TempDir top;
  fs::path save;
  Sentinel() {
    fs::path level = top.Path();
    for (const char* next : {"a", "b", "c", ""}) {
      for (const char* name : {"x.html", "x.gif", "x", "x.bin", "y.bin", "z.bin", "victim", "index.html"})
        WriteFile(level / name, std::string("precious ") + name + " at " + level.string());
      if (*next) {
        level /= next;
        fs::create_directory(level);
      }
    }
    save = level / "save";
    fs::create_directory(save);
    // Old stamps, so that a rewrite with the same bytes still shows.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    for (auto& e : fs::recursive_directory_iterator(top.Path())) fs::last_write_time(e.path(), old);
    for (fs::path p = save.parent_path(); p != top.Path().parent_path(); p = p.parent_path())
      fs::last_write_time(p, old);
  }
};

struct SavedLine {
  std::string url;
  std::string name;
};

std::vector<std::string> LinesOf(const std::string& log) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < log.size()) {
    std::size_t end = log.find("\r\n", at);
    if (end == std::string::npos) end = log.size();
    out.push_back(log.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

std::vector<SavedLine> SavedLines(const std::string& log) {
  std::vector<SavedLine> out;
  const std::string mark = "(OK:Saved as[";
  for (const std::string& line : LinesOf(log)) {
    std::size_t at = line.find(mark);
    if (at == std::string::npos) continue;
    std::size_t from = at + mark.size();
    out.push_back({line.substr(0, at), line.substr(from, line.rfind("])") - from)});
  }
  return out;
}

// The body size a scripted route promises in its `n` (in a redirect's target too), or -1.
long PromisedSize(const std::string& url) {
  std::smatch m;
  if (!std::regex_search(url, m, std::regex("(?:[?&]|%3F|%26)n(?:=|%3D)(\\d+)"))) return -1;
  return std::stol(m[1]);
}

TEST(HostileServer, CasesThatHoldStayHeld) {
  TempDir cache;
  LibraryBackend network({cache.Path() / "trawlkit", {}});

  TempDir site;
  fs::create_directories(site / "p/q");
  WriteFile(site / "x.html", "<html>served x</html>");
  const std::string kGif = "GIF89a-served-x";
  WriteFile(site / "x.gif", kGif);
  auto server = HttpTestServer::Start(site.Path());
  const std::string o = server->Origin();

  struct Row {
    const char* what;
    std::string page;                   // the start page's body, at /p/q/<n>.html
    std::vector<std::string> mustFail;  // paths each logged once, and NG
    std::size_t saved;                  // OK lines, the start page's included
  };
  const std::vector<Row> rows = {
      {"links that climb out",
       "<html><a href=\"../../../../../x.html\">1</a><img src=\"/..%2F..%2Fx.gif\">"
       "<a href=\"" + o + "/../../x.html\">3</a><img src=\"../../../../x.gif\">"
       "<img src=\"/__/bytes/..%2F..%2F..%2Fx.bin?n=500&ct=image/gif\">"
       "<a href=\"/__/bytes/%2E%2E/%2E%2E/%2E%2E/y.bin?n=300\">6</a>"
       "<a href=\"/__/bytes/..%5C..%5C..%5Cz.bin?n=200\">7</a></html>",
       {}, 6},
      {"redirects whose Location climbs out",
       "<html><a href=\"/__/redirect?to=/../../../x.html\">1</a>"
       "<a href=\"/__/redirect?to=" + o + "/../../x.gif\">2</a>"
       "<a href=\"/__/redirect?to=/__/bytes/..%252F..%252F..%252Fy.bin%3Fn%3D400\">3</a>"
       "<a href=\"/__/redirect?to=../../../../x\">4</a></html>",
       {}, 4},
      {"a redirect storm",
       "<html><a href=\"/__/loop\">new URLs</a><a href=\"/__/loop?same=1\">itself</a></html>",
       {"/__/loop", "/__/loop?same=1"}, 1},
      {"bodies cut short",
       "<html><a href=\"/__/drop?n=5000&after=1000\">1</a><a href=\"/__/broken-chunked?n=4000\">2</a>"
       "<a href=\"/__/broken-chunked?n=4000&how=garbage\">3</a></html>",
       {"/__/drop?n=5000&after=1000", "/__/broken-chunked?n=4000", "/__/broken-chunked?n=4000&how=garbage"}, 1},
      {"a Content-Length shorter than the body", "<html><a href=\"/__/overlong?n=700&extra=300\">1</a></html>",
       {}, 2},
  };

  int page = 0;
  for (const Row& row : rows) {
    const std::string start = "/p/q/" + std::to_string(page++) + ".html";
    WriteFile(site / start.substr(1), row.page);
    for (int flat : {1, 0}) {
      SCOPED_TRACE(std::string(row.what) + (flat ? ", flat" : ", server layout"));
      Sentinel sentinel;
      const auto before = Stamps(sentinel.top.Path(), sentinel.save);
      ProjectSettings settings;
      settings.SaveDir = sentinel.save.string();
      settings.LinkLayers = 1;
      settings.SameSiteOnly = 1;
      settings.SaveFlat = flat;
      settings.UseCache = 0;
      RecordingHost host;
      FixedClock clock;
      host.startUrls = {o + start};
      {
        Crawler crawler(settings, host, network, clock, "trawlkit");
        crawler.RunDownload();
      }
      EXPECT_EQ(Stamps(sentinel.top.Path(), sentinel.save), before);

      const std::string log = ReadFile(sentinel.save / "Trawlkit.txt");
      ASSERT_NE(log.find("(OK:Saved as["), std::string::npos) << log;  // at least the start page
      const fs::path saveReal = fs::canonical(sentinel.save);
      const std::vector<SavedLine> saved = SavedLines(log);
      EXPECT_EQ(saved.size(), row.saved) << log;  // so that the checks below are not idle
      for (const SavedLine& s : saved) {
        SCOPED_TRACE(s.url + " -> " + s.name);
        const fs::path file = sentinel.save / s.name;
        ASSERT_FALSE(s.name.empty());
        EXPECT_FALSE(fs::path(s.name).is_absolute());
        ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        const std::string real = fs::canonical(file).string();
        EXPECT_TRUE(real.starts_with(saveReal.string() + "/")) << real;
        const std::string body = ReadFile(file);
        // The logged URL is the one asked for, before redirects and dot segments: the body is
        // known by its kind instead.
        const long promised = PromisedSize(s.url);
        if (s.url.find("/__/") != std::string::npos && promised >= 0) {
          EXPECT_TRUE(body == Body(static_cast<std::size_t>(promised))) << body.size() << " bytes";
        } else if (body.starts_with("<html>")) {
          EXPECT_TRUE(body.ends_with("</html>")) << body;  // pages may have had links rewritten
        } else {
          EXPECT_EQ(body, kGif);
        }
      }
      for (const std::string& path : row.mustFail) {
        int seen = 0;
        for (const std::string& line : LinesOf(log))
          if (line.starts_with(o + path + "(")) {
            ++seen;
            EXPECT_TRUE(line.starts_with(o + path + "(NG:")) << line;
          }
        EXPECT_EQ(seen, 1) << path << " in\n" << log;
      }
    }
  }
  EXPECT_LT(server->Stats().requests, 500);  // the storms end
}

}  // namespace
}  // namespace tk::test
