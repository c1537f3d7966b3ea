// The save sequence every retrieval ends in: the overwrite question, the file's line on the
// display, the local file, the bytes read and written, and the outcome's line and counters.
#include "engine/crawler.h"
#include "engine/local_file.h"
#include "engine/log_texts.h"
#include "engine/page_buffer.h"

namespace tk {
Crawler::SaveEnd Crawler::SaveStream(const std::string& url, const std::string& name, UrlRecord& record,
                                     const StreamSource& source, LocalFile& file, PageBuffer* page) {
  if (AnnouncedTooLarge(source.size)) return SkipTooLarge(url, record, {});
  if (!AskOverwrite(name)) {
    ++m_state.FilesSkipped;
    FinishFailure(LogLine(url, logtext::kNoOverwrite), false, {});
    return SaveEnd::Skipped;
  }
  record.LocalPath = name;
  m_state.FileBytes = 0;
  m_host.BeginFile(url, name, source.size);
  if (source.open) {
    inet::Error err;
    if (!source.open(err)) {
      if (Cancelled()) return SaveEnd::Cancelled;
      FinishInternetError(url, err, {});
      return SaveEnd::Failed;
    }
  }
  // An earlier run's copy is not emptied for a transfer that will not happen.
  if (Cancelled()) {
    record.LocalPath.clear();
    return SaveEnd::Cancelled;
  }
  const std::string failedLine = LogLine(url, logtext::FailedSaving(name));
  // What a file cut at the size limit may remove: only a file this save makes.
  const bool fresh = m_settings.MaxSize > 0 && LookBeneath(m_saveFolder, name) == LocalEntry::Missing;
  if (!file.Create(m_saveFolder, name)) {
    FinishFailure(failedLine, true, {});
    return SaveEnd::Failed;
  }
  char buf[kChunk + 1];
  while (true) {
    inet::Error err;
    long n = source.read(buf, kChunk, err);
    if (n == 0 && (source.endBeatsCancel || !Cancelled())) break;
    // A cancelled transfer keeps the part written so far, without a line or a count.
    if (Cancelled()) return SaveEnd::Cancelled;
    if (n < 0) {
      FinishInternetError(url, err, {});
      return SaveEnd::Failed;
    }
    // An unannounced length found over the limit: the transfer ends as a cut one does.
    if (OverMaxSize(m_state.FileBytes + n)) return SkipTooLarge(url, record, fresh ? name : std::string());
    m_state.FileBytes += n;
    m_host.AddBytes(n);
    std::string_view chunk(buf, static_cast<std::size_t>(n));
    if (page ? !page->Append(chunk) : !file.Write(chunk)) {
      FinishFailure(failedLine, true, {});
      return SaveEnd::Failed;
    }
  }
  // A page's file stays open: the page is written to it after its scan.
  if (!page && !file.Close()) {
    FinishFailure(failedLine, true, {});
    return SaveEnd::Failed;
  }
  m_state.BytesDownloaded += m_state.FileBytes;
  ++m_state.FilesDownloaded;
  WriteLog(LogLine(url, logtext::SavedAs(name)));
  m_host.ShowCounts(m_state);
  return SaveEnd::Saved;
}

}  // namespace tk
