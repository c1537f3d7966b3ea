#include "base/fd_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace tk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

TEST(FdIo, WriteAllGoesOnAfterShortWrites) {
  // Far more than a pipe holds: the writes come back short until the reader drains the pipe.
  const std::string data = Pattern(1 << 20);
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  std::string got;
  std::thread reader([&] {
    EXPECT_EQ(ReadToEnd(p[0], got), ReadEnd::Done);
    ::close(p[0]);
  });
  EXPECT_TRUE(WriteAll(p[1], data));
  ::close(p[1]);
  reader.join();
  EXPECT_TRUE(got == data) << got.size() << " bytes arrived";
}

TEST(FdIo, PwriteAllWritesAtItsOffsetAndLeavesThePosition) {
  TempDir dir;
  const auto file = dir / "f";
  WriteFile(file, "0123456789");
  const int fd = ::open(file.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::lseek(fd, 2, SEEK_SET), 2);
  EXPECT_TRUE(PwriteAll(fd, "abc", 6));
  EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 2);
  EXPECT_TRUE(PwriteAll(fd, "XY", 10)) << "past the end grows the file";
  ::close(fd);
  EXPECT_EQ(ReadFile(file), "012345abc9XY");

  const int readOnly = ::open(file.c_str(), O_RDONLY);
  errno = 0;
  EXPECT_FALSE(WriteAll(readOnly, "x"));
  EXPECT_EQ(errno, EBADF);
  EXPECT_FALSE(PwriteAll(readOnly, "x", 0));
  ::close(readOnly);
}

TEST(FdIo, ReadToEndHoldsToItsBound) {
  TempDir dir;
  struct Case {
    std::size_t size;
    std::uint64_t max;
    ReadEnd end;
  };
  const Case cases[] = {
      {0, 0, ReadEnd::Done},          {10, 10, ReadEnd::Done},
      {11, 10, ReadEnd::TooLarge},    {200000, 200000, ReadEnd::Done},  // several reads
      {200001, 200000, ReadEnd::TooLarge}, {70000, 65536, ReadEnd::TooLarge},  // past it in the second read
  };
  for (const Case& c : cases) {
    const auto file = dir / "f";
    const std::string data = Pattern(c.size);
    WriteFile(file, data);
    const int fd = ::open(file.c_str(), O_RDONLY);
    std::string text = "kept:";
    EXPECT_EQ(ReadToEnd(fd, text, c.max), c.end) << c.size << " bytes, at most " << c.max;
    if (c.end == ReadEnd::Done) {
      EXPECT_TRUE(text == "kept:" + data) << "appended, in order";
    }
    EXPECT_LE(text.size(), 5 + c.max) << "never more than the bound is held";
    ::close(fd);
  }
  const int folder = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
  std::string text;
  EXPECT_EQ(ReadToEnd(folder, text), ReadEnd::Failed);
  EXPECT_EQ(errno, EISDIR);
  ::close(folder);
}

extern "C" void IgnoreSignal(int) {}

// A signal that lands while a read waits makes it fail with EINTR; the read is made again.
TEST(FdIo, ASignalDuringAReadIsNoFailure) {
  struct sigaction act {}, old {};
  act.sa_handler = IgnoreSignal;  // no SA_RESTART: the kernel returns EINTR
  sigemptyset(&act.sa_mask);
  ASSERT_EQ(::sigaction(SIGUSR1, &act, &old), 0);
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  std::atomic<pid_t> tid{0};
  std::string got;
  ReadEnd end = ReadEnd::Failed;
  std::thread reader([&] {
    tid = static_cast<pid_t>(::syscall(SYS_gettid));
    end = ReadToEnd(p[0], got);
  });
  const pthread_t handle = reader.native_handle();
  // Wait until the reader sleeps in its read, then interrupt it a few times.
  bool sleeping = false;
  for (int i = 0; i < 1000000 && !sleeping; ++i) {
    std::this_thread::yield();
    if (tid == 0) continue;
    std::ifstream stat("/proc/self/task/" + std::to_string(tid.load()) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    sleeping = close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
  }
  EXPECT_TRUE(sleeping);
  for (int i = 0; i < 3; ++i) ::pthread_kill(handle, SIGUSR1);
  EXPECT_TRUE(WriteAll(p[1], "after the signals"));
  ::close(p[1]);
  reader.join();
  ::close(p[0]);
  ::sigaction(SIGUSR1, &old, nullptr);
  EXPECT_EQ(end, ReadEnd::Done);
  EXPECT_EQ(got, "after the signals");
}

}  // namespace
}  // namespace tk
