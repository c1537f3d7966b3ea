// The project's maximum file size: a larger file is not saved, and not read beyond the limit.
#include <fcntl.h>
#include <unistd.h>

#include <charconv>

#include "engine/crawler.h"
#include "engine/local_file.h"
#include "engine/log_texts.h"

namespace tk {

bool Crawler::AnnouncedTooLarge(const std::string& sizeText) const {
  if (m_settings.MaxSize <= 0 || sizeText.empty()) return false;
  std::int64_t size = 0;
  auto [end, ec] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
  // A length that is no plain number is no announcement: the bytes are counted as they come.
  if (ec != std::errc() || end != sizeText.data() + sizeText.size()) return false;
  return OverMaxSize(size);
}

Crawler::SaveEnd Crawler::SkipTooLarge(const std::string& url, UrlRecord& record, const std::string& created) {
  // Links to it lead to the server, as to any file the run did not keep.
  record.LocalPath.clear();
  if (!created.empty()) {
    std::string_view dir = created;
    std::string_view name = created;
    const std::size_t slash = created.rfind('/');
    dir = slash == std::string::npos ? std::string_view() : dir.substr(0, slash);
    name = slash == std::string::npos ? name : name.substr(slash + 1);
    const int dirFd = OpenFolderBeneath(m_saveFolder, dir, false);
    if (dirFd >= 0) {
      ::unlinkat(dirFd, std::string(name).c_str(), 0);
      ::close(dirFd);
    }
  }
  // The user's choice, not a failure: a skip, like a file not overwritten.
  ++m_state.FilesSkipped;
  FinishFailure(LogLine(url, logtext::kTooLarge), false, {});
  return SaveEnd::TooLarge;
}

}  // namespace tk
