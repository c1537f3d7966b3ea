// The save sequence every retrieval ends in: the overwrite question, the file's line on the
// display, the local file, the bytes read and written, and the outcome's line and counters.
#include "engine/crawler.h"
#include "engine/local_file.h"
#include "engine/log_texts.h"
#include "engine/page_buffer.h"

namespace tk {
Crawler::SaveEnd Crawler::SaveStream(const std::string& url, const std::string& name, UrlRecord& record,
                                     const StreamSource& source, LocalFile& file, PageBuffer* page) {
  if (AnnouncedTooLarge(source.size)) return SkipTooLarge(url, record);
  // A file kept as it is still leads on: a page is fetched and scanned all the same, so a copy
  // with files missing below it is made whole again. Any other kept file is not fetched at all.
  const bool keep = !AskOverwrite(name);
  if (keep && !page) return KeepFile(url, name, record);
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
  // A cancelled run begins no further file.
  if (Cancelled()) return SaveEnd::Cancelled;
  const std::string failedLine = LogLine(url, logtext::FailedSaving(name));
  if (!keep && !file.Create(Folders(), name)) {
    FinishFailure(failedLine, true, {});
    return SaveEnd::Failed;
  }
  char buf[kChunk + 1];
  while (true) {
    inet::Error err;
    long n = source.read(buf, kChunk, err);
    if (n == 0 && (source.endBeatsCancel || !Cancelled())) break;
    // A cut transfer leaves nothing: the file's temporary goes with `file`, without a line or a
    // count, and an earlier copy stays as it was.
    if (Cancelled()) return SaveEnd::Cancelled;
    if (n < 0) {
      FinishInternetError(url, err, {});
      return SaveEnd::Failed;
    }
    // An unannounced length found over the limit: the transfer ends as a cut one does.
    if (OverMaxSize(m_state.FileBytes + n)) return SkipTooLarge(url, record);
    m_state.FileBytes += n;
    m_host.AddBytes(n);
    std::string_view chunk(buf, static_cast<std::size_t>(n));
    if (page ? !page->Append(chunk) : !file.Write(chunk)) {
      FinishFailure(failedLine, true, {});
      return SaveEnd::Failed;
    }
  }
  if (keep) return KeepFile(url, name, record);
  // A page's file stays open: the page is written to it after its scan, and put in place then.
  if (!page) {
    const Placement placed = file.Finish() ? file.Place(source.modified) : Placement::Failed;
    if (placed == Placement::Failed) {
      FinishFailure(failedLine, true, {});
      return SaveEnd::Failed;
    }
    CountPlacement(placed);
  }
  m_state.VisitedUrls.SetLocalPath(record, name, m_state.UsedNames);
  m_state.BytesDownloaded += m_state.FileBytes;
  ++m_state.FilesDownloaded;
  WriteLog(LogLine(url, logtext::SavedAs(name)));
  m_host.ShowCounts(m_state);
  return SaveEnd::Saved;
}

Crawler::SaveEnd Crawler::KeepFile(const std::string& url, const std::string& name, UrlRecord& record) {
  // The kept file is part of the copy: links to it are local.
  m_state.VisitedUrls.SetLocalPath(record, name, m_state.UsedNames);
  ++m_state.FilesSkipped;
  ++m_state.FilesUnchanged;
  FinishFailure(LogLine(url, logtext::kNoOverwrite), false, {});
  return SaveEnd::Skipped;
}

OpenFolders& Crawler::Folders() {
  // The run's files are made ahead on a thread of their own: making them is the kernel's largest
  // share of a crawl's work, and this thread is the one every page waits for.
  if (!m_folders) m_folders = std::make_unique<OpenFolders>(m_saveFolder, true);
  return *m_folders;
}

void Crawler::CountPlacement(Placement placed) {
  switch (placed) {
    case Placement::New:
      ++m_state.FilesNew;
      break;
    case Placement::Changed:
      ++m_state.FilesChanged;
      break;
    case Placement::Unchanged:
      ++m_state.FilesUnchanged;
      break;
    case Placement::Failed:
      break;
  }
}

std::string CopyChangesText(const RunState& state) {
  const std::int64_t total = state.FilesNew + state.FilesChanged + state.FilesUnchanged + state.Errors;
  return std::to_string(total) + (total == 1 ? " file: " : " files: ") + std::to_string(state.FilesNew) + " new, " +
         std::to_string(state.FilesChanged) + " changed, " + std::to_string(state.FilesUnchanged) + " unchanged, " +
         std::to_string(state.Errors) + " failed";
}

}  // namespace tk
