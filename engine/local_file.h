#pragma once
// A local file being written by a run. Writes are buffered; any failure (disk full, I/O error)
// sticks, so the caller asks once at the end whether every byte reached the disk.
//
// Below the save folder nothing is followed: a symlink planted there (at a file's place or as one
// of its folders) makes the open fail instead of writing wherever it points. The save folder
// itself is the user's choice and may be a symlink.
#include <filesystem>
#include <string>
#include <string_view>

namespace tk {

class LocalFile {
 public:
  LocalFile() = default;
  ~LocalFile();
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  // Creates the file or empties an existing one; a symlink at `path` is not followed.
  bool Create(const std::filesystem::path& path);
  // The same for `relPath` ("a/b/name") under `saveFolder`, whose folders must exist already:
  // no symlink below the save folder is followed, and only a regular file is emptied.
  bool Create(const std::filesystem::path& saveFolder, std::string_view relPath);
  bool IsOpen() const { return m_fd >= 0; }
  // False once any write has failed; later writes are dropped.
  bool Write(std::string_view data);
  // Flushes and closes: false when a write or the close failed.
  bool Close();
  bool Failed() const { return m_failed; }

 private:
  bool Flush();

  int m_fd = -1;
  bool m_failed = false;
  std::string m_buffer;
};

// Opens the folder `relDir` ("a/b", "" for the save folder itself) under `saveFolder`, entering
// every folder without following a symlink, and making missing ones when `create` is set. A
// descriptor to close, or -1.
int OpenFolderBeneath(const std::filesystem::path& saveFolder, std::string_view relDir, bool create);

// Opens `relPath` under `saveFolder` with open(2) `flags` plus O_NOFOLLOW, its folders entered as
// OpenFolderBeneath does. -1 when any part of it is a symlink or the open fails.
int OpenBeneath(const std::filesystem::path& saveFolder, std::string_view relPath, int flags, int mode = 0644);

// What stands at `relPath` under the save folder, for the overwrite question.
enum class LocalEntry {
  Missing,  // nothing: the file would be new
  Present,  // a file of an earlier run
  Planted,  // a symlink at its place or among its folders: never to be written through
};
LocalEntry LookBeneath(const std::filesystem::path& saveFolder, std::string_view relPath);

}  // namespace tk
