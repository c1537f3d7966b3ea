#include "engine/ftp_index.h"

#include <algorithm>

namespace tk {
namespace {

// Text between tags: the markup characters as references, control bytes (which a hostile
// server may put in a name) as "?".
std::string HtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    }
  }
  return out;
}

// A URL as a quoted attribute value, written with references as any page would write it: the
// page's scan reads it back as the very URL the listing gave (which already has its spaces,
// control and other unsafe bytes percent-encoded).
std::string HtmlHref(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  for (char c : url) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string FtpFolderIndex(std::string_view folderUrl, std::vector<inet::FtpEntry> entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const inet::FtpEntry& a, const inet::FtpEntry& b) {
    if (a.directory != b.directory) return !a.directory;
    return a.name < b.name;
  });
  const std::string title = "Index of " + HtmlText(folderUrl);
  std::string out = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
                    "</title>\n</head>\n<body>\n<h1>" + title + "</h1>\n<ul>\n";
  for (const inet::FtpEntry& entry : entries) {
    const std::string slash = entry.directory ? "/" : "";
    out += "<li><a href=\"" + HtmlHref(entry.url + slash) + "\">" + HtmlText(entry.name) + slash + "</a>";
    if (!entry.directory) out += " " + std::to_string(entry.size) + " bytes";
    out += "</li>\n";
  }
  out += "</ul>\n</body>\n</html>\n";
  return out;
}

}  // namespace tk
