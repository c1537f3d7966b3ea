#pragma once
// One of our programs started as a shell starts it, its standard output and error in files, and
// waited for within a bound: a program that has not ended by then is killed with its object.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tk::test {

struct ProgramStart {
  std::vector<std::string> argv;      // argv[0]: the program's full path
  std::filesystem::path outDir;       // standard output and error go to outDir/stdout, outDir/stderr
  std::filesystem::path in = "/dev/null";
  std::string errTo;                  // a terminal for standard error instead of the file
  std::optional<std::vector<std::string>> env;  // "NAME=value" each; none: this process's own
};

// This process's environment changed by `changes`: "NAME=value" sets NAME, a bare "NAME" removes
// it; a later change of the same name wins.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes) {
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  auto changed = [&](const std::string& name) {
    for (const std::string& c : changes)
      if (nameOf(c) == name) return true;
    return false;
  };
  std::vector<std::string> out;
  for (char** e = environ; *e; ++e)
    if (!changed(nameOf(*e))) out.push_back(*e);
  for (std::size_t i = 0; i < changes.size(); ++i) {
    bool later = false;
    for (std::size_t j = i + 1; j < changes.size(); ++j) later = later || nameOf(changes[j]) == nameOf(changes[i]);
    if (!later && changes[i].find('=') != std::string::npos) out.push_back(changes[i]);
  }
  return out;
}

class Program {
 public:
  explicit Program(ProgramStart start) {
    std::vector<char*> argv, envp;
    for (auto& a : start.argv) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (start.env) {
      for (auto& e : *start.env) envp.push_back(e.data());
      envp.push_back(nullptr);
    }
    const std::string out = (start.outDir / "stdout").string(), err = (start.outDir / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, start.in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (start.errTo.empty())
      posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    else
      posix_spawn_file_actions_addopen(&actions, 2, start.errTo.c_str(), O_RDWR | O_NOCTTY, 0);
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), start.env ? envp.data() : environ) != 0)
      m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (m_pid > 0 && !m_status) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return m_pid > 0; }
  pid_t Pid() const { return m_pid; }
  void Signal(int sig) { kill(m_pid, sig); }
  // The exit status (128 + the signal for one killed by a signal), or -1 when the program has not
  // ended within `limit` (0: a look only).
  int Wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
      int status = 0;
      if (m_status) return *m_status;
      if (m_pid <= 0) return -1;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return *m_status;
      }
      if (std::chrono::steady_clock::now() >= deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

 private:
  pid_t m_pid = -1;
  std::optional<int> m_status;
};

}  // namespace tk::test
