// Settings files with very long lists: a project with 100,000 start URLs and a Trawlkit.ini with
// 100,000 URL history keys, each loaded the way the program loads it at start-up.
// Build a Release folder and run by hand:
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRAWLKIT_GUI=OFF
//   cmake --build build-bench --target settings_load_bench && build-bench/settings/settings_load_bench
#include <stdlib.h>

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

double SecondsOf(void (*load)()) {
  const auto start = std::chrono::steady_clock::now();
  load();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::filesystem::path g_project;

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
  std::filesystem::remove_all(dir);
  return 0;
}
