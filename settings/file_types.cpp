#include "settings/file_types.h"

#include "base/text.h"
#include "settings/app_ini.h"
#include "settings/ini_file.h"
#include "settings/project.h"

namespace tk {

const std::vector<std::string>& DefaultFileTypeLines() {
  static const std::vector<std::string> lines = {
      "HTML=\".htm.html.shtm.shtml.asp.css.xml.xsl.cfm.htx.js.nsf.phml.frm.nsf.jsp.php.php3.wml\"",
      // Today's formats follow the old ones (.ico was there already), so a list made before them
      // still reads as its beginning.
      "Images=\".gif.jpg.jpeg.jpe.png.bmp.xmp.psd.psp.tif.tiff.wmf.ico.cur.ani.svg.webp.avif\"",
      "Audio=\".wav.au.snd.mid.midi.mp3.ram.aiff.ogg.opus.flac.m4a.aac\"",
      "Video=\".mov.avi.mpeg.mpe.mpg.mp4.webm.mkv.m4v.ogv\"",
      "Java=\".class.java.jar\"",
      "Activex=\".cab.inf.ocx.dll\"",
      "Plusins=\".spl.dpr.swf\"",
      "Excutables=\".exe.com\"",
      "Archive=\".zip.arj.lha.rar.gz.z\"",
      "Other=\".doc.xls.ppt.pdf.txt.mdb\"",
  };
  return lines;
}

std::vector<FileTypeCategory> ReadFileTypeCategories() {
  const auto path = AppIniPath();
  IniDocument doc = IniDocument::Load(path);
  if (doc.KeyNames(kFileTypeSection).empty()) {
    EnsureAppIniFolder();
    IniWriteSection(path, kFileTypeSection, DefaultFileTypeLines());
    doc = IniDocument::Load(path);
    // A folder that cannot be written still shows the built-in categories.
    if (doc.KeyNames(kFileTypeSection).empty()) doc.ReplaceSection(kFileTypeSection, DefaultFileTypeLines());
  }
  std::vector<FileTypeCategory> categories;
  for (const auto& key : doc.KeyNames(kFileTypeSection))
    categories.push_back({key, doc.GetString(kFileTypeSection, key, "")});
  return categories;
}

bool IsTypeIncluded(std::string_view ext, std::string_view excludeType) {
  if (excludeType.empty()) return true;
  // The tail check catches the last extension of the list, which has no "." after it.
  if (EndsWithNoCase(excludeType, ext)) return false;
  const std::string needle = AsciiLower(ext) + ".";
  return excludeType.find(needle) == std::string_view::npos;
}

bool IsTypeIncluded(std::string_view ext) { return IsTypeIncluded(ext, Project().ExcludeType); }

}  // namespace tk
