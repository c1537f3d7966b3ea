#pragma once
// A local file being written by a run. Its bytes go to a temporary file beside it (or to an
// unnamed one, linked at its place), which takes its place only once complete (Place): a cut
// transfer or a full disk never leaves half a file, an earlier copy stays as it was until the new one is whole, and a hard link at the file's place
// is replaced rather than written through. A file whose new bytes equal the old ones is not
// replaced at all, so an update touches only what changed. Writes are buffered; any failure
// (disk full, a file size limit, an I/O error) sticks, so the caller asks once at the end.
//
// Below the save folder nothing is followed: every folder is entered from the save folder's
// descriptor without following a symlink, so a symlink planted there (at a file's place or as one
// of its folders) makes the file fail instead of leading elsewhere. A run keeps the folders it has
// entered open (OpenFolders): a folder swapped for a symlink later still takes its files in the
// folder the run entered, never through the link; a page held for mending is placed from a fresh
// walk, which refuses the link. The save folder itself is the user's choice and may be a symlink.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tk {

class ReadyFiles;

// What putting a finished file in place did to the copy.
enum class Placement {
  New,        // nothing stood there before
  Changed,    // an earlier copy with other bytes was replaced
  Unchanged,  // the earlier copy had the same bytes and was left as it was, date and all
  Failed,     // the file could not be put in place; the earlier copy, if any, is untouched
};

// A finished temporary file waiting to be put in place: its folder and name under the save
// folder, and the name of the temporary file in that folder.
struct HeldFile {
  std::string relPath;
  std::string temp;
  std::optional<std::int64_t> modified;  // the server's date for it, seconds since the epoch
};

// The folders of one save folder, each entered once, without following a symlink below the save
// folder, and kept open while a run lasts: saving a file then costs no walk down from the top.
// Every file still goes into a folder reached without a symlink; a folder moved away during the
// run takes the files saved into it along. Holds a bounded number of descriptors. One thread.
class OpenFolders {
 public:
  // `filesAhead`: a run's files are made ahead, unnamed, on a thread of their own (ReadyFiles),
  // and linked at their places once whole.
  explicit OpenFolders(std::filesystem::path saveFolder, bool filesAhead = false);
  ~OpenFolders();
  OpenFolders(const OpenFolders&) = delete;
  OpenFolders& operator=(const OpenFolders&) = delete;

  const std::filesystem::path& SaveFolder() const { return m_saveFolder; }
  // The folder `relDir` ("a/b", "" for the save folder itself) as OpenFolderBeneath enters it,
  // made when missing and `create` is set. The descriptor stays this object's and is valid until
  // the next call; -1, with errno as OpenFolderBeneath leaves it, on a failure.
  int Open(std::string_view relDir, bool create);
  // Closes every folder: the next Open walks down afresh (a folder removed meanwhile is made again).
  void Forget();
  // An unnamed file made ahead in the save folder's file system, for the folder `dirFd` (one of
  // these): the next ones are made there. The caller's to close; -1 when files are not made
  // ahead, or cannot be here.
  int TakeUnnamedFile(int dirFd);
  // An unnamed file could not be linked at its place: the files from here on are named from the
  // start.
  void StopUnnamedFiles();

 private:
  struct Held {
    int fd = -1;
    std::uint64_t used = 0;
  };
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
  };
  void MakeRoom();

  std::filesystem::path m_saveFolder;
  std::unordered_map<std::string, Held, KeyHash, std::equal_to<>> m_held;
  std::uint64_t m_clock = 0;
  bool m_filesAhead;
  std::unique_ptr<ReadyFiles> m_readyFiles;  // started on the first file taken
};

class LocalFile {
 public:
  LocalFile() = default;
  // A temporary file neither placed nor held is removed.
  ~LocalFile();
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  // Starts the file `relPath` ("a/b/name") under `saveFolder`, whose folders must exist already.
  // False when a folder cannot be entered without following a symlink, or when something other
  // than a regular file (a symlink, a folder, a FIFO) stands at its place: that is no file of the
  // copy to replace.
  bool Create(const std::filesystem::path& saveFolder, std::string_view relPath);
  // The same in a run's folders, which must outlive the file.
  bool Create(OpenFolders& folders, std::string_view relPath);
  bool IsOpen() const { return m_fd >= 0 && !m_finished; }
  // False once any write has failed; later writes are dropped.
  bool Write(std::string_view data);
  bool Failed() const { return m_failed; }
  // Flushes the temporary file: false when a byte did not reach it, and the temporary file is
  // then gone. It stays open for Place, which needs no second look for it.
  bool Finish();
  // After Finish: puts the file in place, dated `modified` when given.
  Placement Place(std::optional<std::int64_t> modified);
  // After Finish: leaves the temporary file for PlaceHeld, later in the run.
  HeldFile Hold(std::optional<std::int64_t> modified);
  // Removes the temporary file; the earlier copy stays as it was.
  void Discard();

 private:
  bool Flush();
  // Closes the temporary file: false when the close reports a byte lost.
  bool Close();

  std::unique_ptr<OpenFolders> m_ownFolders;  // for a file begun from a bare save folder path
  OpenFolders* m_folders = nullptr;
  std::string m_relPath;
  std::string m_temp;
  int m_fd = -1;
  bool m_unnamed = false;  // m_fd is a file with no name yet (m_temp is empty)
  bool m_finished = false;
  bool m_failed = false;
  std::uint64_t m_size = 0;
  std::string m_buffer;
};

// Puts a held file in place, as LocalFile::Place does.
Placement PlaceHeld(const std::filesystem::path& saveFolder, const HeldFile& held);
// Removes a held file's temporary file.
void DiscardHeld(const std::filesystem::path& saveFolder, const HeldFile& held);

// Opens the folder `relDir` ("a/b", "" for the save folder itself) under `saveFolder`, entering
// every folder without following a symlink, and making missing ones when `create` is set. A
// descriptor to close, or -1.
int OpenFolderBeneath(const std::filesystem::path& saveFolder, std::string_view relDir, bool create);

// Opens `relPath` under `saveFolder` with open(2) `flags` plus O_NOFOLLOW, its folders entered as
// OpenFolderBeneath does. -1 when any part of it is a symlink or the open fails.
int OpenBeneath(const std::filesystem::path& saveFolder, std::string_view relPath, int flags, int mode = 0644);

// A fresh name for a temporary file in a folder of the copy: hidden from a listing, and random
// rather than counted, so that two runs into one folder, or a folder shared with another user,
// never meet on it.
std::string TempFileName();

// Splits "a/b/name" into its folder part "a/b" and its last segment "name".
void SplitLast(std::string_view relPath, std::string_view& dir, std::string_view& name);

// What stands at `relPath` under the save folder, for the overwrite question.
enum class LocalEntry {
  Missing,  // nothing: the file would be new
  Present,  // a file of an earlier run
  Planted,  // a symlink at its place or among its folders: never to be written through
};
LocalEntry LookBeneath(const std::filesystem::path& saveFolder, std::string_view relPath);

}  // namespace tk
