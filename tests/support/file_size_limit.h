#pragma once
// A file size limit stands in for a full disk while it lives: a write past it fails as one on a
// full disk does, for root as well, instead of raising SIGXFSZ. The limit and the signal's
// disposition are put back as they were when it ends.
#include <sys/resource.h>

#include <csignal>

namespace tk::test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &m_old);
    struct rlimit limit = m_old;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_handler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit m_old {};
  void (*m_handler)(int);
};

}  // namespace tk::test
