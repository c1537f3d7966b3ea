#pragma once
// Everything trawlkit-cli takes from its surroundings, so that tests can run it in-process.
#include <atomic>
#include <cstddef>
#include <iosfwd>
#include <string>

#include "engine/inet_backend.h"
#include "engine/run_clock.h"

namespace tk::cli {

struct CliContext {
  std::ostream* out = nullptr;           // the log box's text
  std::ostream* err = nullptr;           // messages, questions, the progress line
  std::istream* in = nullptr;            // answers to questions; null when there is no terminal
  std::istream* input = nullptr;         // standard input, for "-i -"; null reads nothing
  bool passwordEchoOff = false;          // `in` is the terminal: hide the password as it is typed
  bool progress = false;                 // `err` is a terminal
  bool logOnTerminal = false;            // `out` is a terminal too: log lines erase the progress line
  std::size_t columns = 0;               // its width; 0 asks the terminal each time the line is drawn
  InetBackend* backend = nullptr;        // null: the internet layer
  RunClock* clock = nullptr;             // null: the system clock
  std::string home;                      // for ~/TrawlFiles and ~/.netrc
  std::atomic<bool>* cancel = nullptr;   // raised by SIGINT / SIGTERM
};

}  // namespace tk::cli
