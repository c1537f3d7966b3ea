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

Crawler::SaveEnd Crawler::SkipTooLarge(const std::string& url, UrlRecord& record) {
  // Links to it lead to the server, as to any file the run did not keep. What was received went
  // to the file's temporary, which goes with it: an earlier copy stays as it was.
  record.LocalPath = {};
  // The user's choice, not a failure: a skip, like a file not overwritten.
  ++m_state.FilesSkipped;
  FinishFailure(LogLine(url, logtext::kTooLarge), false, {});
  return SaveEnd::TooLarge;
}

}  // namespace tk
