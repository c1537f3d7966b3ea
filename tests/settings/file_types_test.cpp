#include "settings/file_types.h"

#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "support/temp_dir.h"

namespace tk {
namespace {

using test::ReadFile;
using test::ScopedConfigHome;
using test::WriteFile;

TEST(FileTypes, AFreshMachineGetsTheBuiltInTable) {
  ScopedConfigHome config;
  const auto categories = ReadFileTypeCategories();
  std::vector<std::string> names;
  for (const auto& c : categories) names.push_back(c.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"HTML", "Images", "Audio", "Video", "Java", "Activex",
                                              "Plusins", "Excutables", "Archive", "Other"}));
  EXPECT_EQ(categories[0].Extensions,
            ".htm.html.shtm.shtml.asp.css.xml.xsl.cfm.htx.js.nsf.phml.frm.nsf.jsp.php.php3.wml");
  EXPECT_EQ(categories[9].Extensions, ".doc.xls.ppt.pdf.txt.mdb");
  const std::string file = ReadFile(config.IniPath());
  EXPECT_EQ(file.find("[FILETYPE]\nHTML=\".htm.html."), 0u) << file;
  EXPECT_NE(file.find("Other=\".doc.xls.ppt.pdf.txt.mdb\"\n"), std::string::npos);
}

// Today's formats join the categories a new Trawlkit.ini starts with; a file that has its own
// lists keeps them as they are.
TEST(FileTypes, TodaysFormatsJoinTheDefaultsOfANewFileOnly) {
  const struct {
    const char* category;
    const char* extensions;
  } rows[] = {
      {"Images", ".gif.jpg.jpeg.jpe.png.bmp.xmp.psd.psp.tif.tiff.wmf.ico.cur.ani.svg.webp.avif"},
      {"Audio", ".wav.au.snd.mid.midi.mp3.ram.aiff.ogg.opus.flac.m4a.aac"},
      {"Video", ".mov.avi.mpeg.mpe.mpg.mp4.webm.mkv.m4v.ogv"},
  };
  {
    ScopedConfigHome fresh;
    for (const auto& c : ReadFileTypeCategories())
      for (const auto& r : rows)
        if (c.Name == r.category) {
          EXPECT_EQ(c.Extensions, r.extensions) << r.category;
        }
    for (const auto& r : rows)
      EXPECT_EQ(IniReadString(fresh.IniPath(), kFileTypeSection, r.category, ""), r.extensions) << r.category;
  }
  ScopedConfigHome existing;
  std::filesystem::create_directories(existing.IniPath().parent_path());
  const std::string old = "[FILETYPE]\nImages=\".gif.ico\"\nAudio=.wav\nVideo=.mov.avi.mpeg.mpe.mpg\n";
  WriteFile(existing.IniPath(), old);
  const auto categories = ReadFileTypeCategories();
  ASSERT_EQ(categories.size(), 3u);
  EXPECT_EQ(categories[0].Extensions, ".gif.ico");
  EXPECT_EQ(categories[1].Extensions, ".wav");
  EXPECT_EQ(categories[2].Extensions, ".mov.avi.mpeg.mpe.mpg");
  EXPECT_EQ(ReadFile(existing.IniPath()), old);
}

TEST(FileTypes, StoredCategoriesAreReadInFileOrderAndAnEmptySectionIsReseeded) {
  ScopedConfigHome config;
  std::filesystem::create_directories(config.IniPath().parent_path());
  WriteFile(config.IniPath(), "[REGISTER]\nIntro=1\n[FILETYPE]\nMine=.Foo.bar\nImages=\".png\"\n");
  auto categories = ReadFileTypeCategories();
  ASSERT_EQ(categories.size(), 2u);
  EXPECT_EQ(categories[0].Name, "Mine");
  EXPECT_EQ(categories[0].Extensions, ".Foo.bar");
  EXPECT_EQ(categories[1].Extensions, ".png");

  IniWriteSection(config.IniPath(), kFileTypeSection, {});
  categories = ReadFileTypeCategories();
  EXPECT_EQ(categories.size(), 10u);
  EXPECT_EQ(IniReadInt(config.IniPath(), "REGISTER", "Intro", 0), 1) << "other sections stay";
}

TEST(FileTypes, IsTypeIncluded) {
  struct Row {
    const char* exclude;
    const char* ext;
    bool included;
  };
  const Row rows[] = {
      {".exe.com", ".exe", false},  // found as ".exe." inside
      {".exe.com", ".com", false},  // the tail check
      {".exe.com", ".COM", false},  // the tail check ignores case
      {".exe.com", ".EXE", false},  // lower-cased before the search
      {".exe.com", ".co", true},
      {".exe.com", ".ex", true},
      {".html", ".htm", true},
      {".html", ".html", false},
      {"", ".exe", true},
      {"", "", true},
      {".gif", ".gif?x=1", true},
  };
  for (const auto& r : rows) EXPECT_EQ(IsTypeIncluded(r.ext, r.exclude), r.included) << r.exclude << " " << r.ext;
}

}  // namespace
}  // namespace tk
