#pragma once
// Reading and writing through file descriptors, with the retries POSIX leaves to the caller: a
// call cut short by a signal (EINTR) is made again, and a short write goes on with the rest. A
// program with a worker thread, a cache writer and libcurl's timers gets signals at any moment.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

namespace tk {

// All of `data`, or false with errno as the failing call left it.
bool WriteAll(int fd, std::string_view data);
// All of `data` from `offset` on, with pwrite: the file position stays where it was.
bool PwriteAll(int fd, std::string_view data, off_t offset);

// One read (or pread), made again while a signal interrupts it; otherwise what the call returned.
ssize_t ReadRetrying(int fd, void* buffer, std::size_t size);
ssize_t PreadRetrying(int fd, void* buffer, std::size_t size, off_t offset);

// A file with no name in `folder`, open for reading and writing: the system removes it however
// the run ends. Where the file system has no unnamed files, a named one unlinked at once. -1
// (errno set) when neither can be had.
int OpenUnnamedFile(const std::filesystem::path& folder);
// Gives the unnamed file `fd` (opened with O_TMPFILE, without O_EXCL) the name `name` in the
// folder `dirFd`, of the same file system. 0, or -1 with errno: EEXIST when the name is taken
// (nothing is replaced), ENOENT also where /proc is missing, EXDEV across file systems.
int LinkUnnamedFile(int fd, int dirFd, const char* name);

enum class ReadEnd {
  Done,      // the end of the file was reached
  TooLarge,  // more than `maxBytes` in all; `text` holds part of it
  Failed,    // a read failed; errno says why
};

// Appends the rest of the file to `text`. A file that grows past the bound while it is read is
// refused like one that was too large from the start.
ReadEnd ReadToEnd(int fd, std::string& text, std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max());

}  // namespace tk
