// Settings files with very long lists: a project with 100,000 start URLs and a Trawlkit.ini with
// 100,000 URL history keys, each loaded the way the program loads it at start-up; then the
// memory a 100 MB project takes to load, as the peak resident size of a process that does
// nothing else, against the file's size (it should stay within 4x).
// Build a Release folder and run by hand:
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRAWLKIT_GUI=OFF
//   cmake --build build-bench --target settings_load_bench && build-bench/bench/settings_load_bench
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/app_ini.h"
#include "settings/history.h"
#include "settings/project.h"

namespace {

constexpr int kKeys = 100000;
constexpr std::uintmax_t kLargeProject = 100u << 20;

double SecondsOf(void (*load)()) {
  const auto start = std::chrono::steady_clock::now();
  load();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::filesystem::path g_project;

long PeakKib() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A project of about kLargeProject bytes, its [URL] lines made by `line`, written as it goes.
void WriteLargeProject(const std::filesystem::path& file, std::string (*line)(int)) {
  std::ofstream tkp(file, std::ios::binary);
  tkp << "[SETTING]\r\nSaveDir=/tmp/x\r\nLink=2\r\n[URL]\r\n";
  std::uintmax_t written = 0;
  for (int i = 0; written < kLargeProject; ++i) {
    const std::string text = line(i);
    tkp << text;
    written += text.size();
  }
}

// Loads the project in a child of its own, so that the peak is this load's alone.
void MeasureLargeProject(const char* shape, const std::filesystem::path& file) {
  const auto size = std::filesystem::file_size(file);
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    const long before = PeakKib();
    tk::ProjectSettings settings;
    tk::LoadProject(settings, file.string());
    const long after = PeakKib();
    std::printf("%-38s %zu URLs, peak +%ld MiB for %ju MiB: %.2fx\n", shape, settings.StartUrls.size(),
                (after - before) / 1024, size >> 20, static_cast<double>(after - before) * 1024.0 / static_cast<double>(size));
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

}  // namespace

int main() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "trawlkit-bench-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return 1;
  const std::filesystem::path dir = tmpl;
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  std::filesystem::create_directories(tk::AppIniPath().parent_path());
  {
    std::ofstream ini(tk::AppIniPath(), std::ios::binary);
    ini << "[HISTORY]\r\n";
    for (int i = 0; i < kKeys; ++i) ini << "URL" << i << "=http://example.com/page" << i << ".html\r\n";
  }
  g_project = dir / "big.tkp";
  {
    std::ofstream tkp(g_project, std::ios::binary);
    tkp << "[SETTING]\r\nSaveDir=/tmp/x\r\nLink=2\r\n[URL]\r\n";
    for (int i = 0; i < kKeys; ++i) tkp << "URL" << i << "=\"http://example.com/start" << i << ".html\"\r\n";
  }
  const double history = SecondsOf([] { tk::UrlHistory().Load(); });
  const double project = SecondsOf([] { tk::LoadProject(tk::Project(), g_project.string()); });
  std::printf("Trawlkit.ini, %d history keys: %.3f s\n", kKeys, history);
  std::printf("project, %d start URLs:        %.3f s (%zu loaded)\n", kKeys, project,
              tk::Project().StartUrls.size());

  const std::filesystem::path large = dir / "large.tkp";
  WriteLargeProject(large, [](int i) {
    return "URL" + std::to_string(i) + "=\"http://example.com/start" + std::to_string(i) + ".html\"\r\n";
  });
  MeasureLargeProject("100 MB project, URLs as pages name them", large);
  WriteLargeProject(large, [](int i) { return "URL" + std::to_string(i) + "=http://h/" + std::to_string(i) + "\n"; });
  MeasureLargeProject("100 MB project, short URLs", large);
  std::filesystem::remove_all(dir);
  return 0;
}
