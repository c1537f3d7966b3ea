#include "cli/cli_options.h"

#include <functional>
#include <string_view>

#include "cli/terminal_text.h"
#include "settings/project.h"

namespace tk::cli {
namespace {

using Store = std::function<void(CliOptions&, const std::string&)>;

// One option: its letter (0 for none), its long name, and what it stores. An option without a
// value stores its fixed effect and is given an empty text.
struct OptionEntry {
  char letter;
  std::string_view name;
  bool takesValue;
  Store store;
};

Store Set(std::optional<std::string> CliOptions::*field) {
  return [field](CliOptions& o, const std::string& v) { o.*field = v; };
}
Store Add(std::vector<std::string> CliOptions::*field) {
  return [field](CliOptions& o, const std::string& v) { (o.*field).push_back(v); };
}
Store Switch(std::optional<int> CliOptions::*field, int value) {
  return [field, value](CliOptions& o, const std::string&) { o.*field = value; };
}
Store Raise(bool CliOptions::*field) {
  return [field](CliOptions& o, const std::string&) { o.*field = true; };
}

const std::vector<OptionEntry>& Options() {
  static const std::vector<OptionEntry> options = {
      {'u', "url", true, [](CliOptions& o, const std::string& v) { o.urls.push_back({false, v}); }},
      {'i', "input-file", true, [](CliOptions& o, const std::string& v) { o.urls.push_back({true, v}); }},
      {'d', "dir", true, Set(&CliOptions::dir)},
      {'l', "layers", true, Set(&CliOptions::layers)},
      {'x', "exclude", true, Add(&CliOptions::exclude)},
      {0, "save-project", true, Set(&CliOptions::saveProject)},
      {'w', "wait", true, Set(&CliOptions::wait)},
      {0, "limit-rate", true, Set(&CliOptions::limitRate)},
      {0, "connections", true, Set(&CliOptions::connections)},
      {'U', "user-agent", true, Set(&CliOptions::userAgent)},
      {0, "load-cookies", true, Set(&CliOptions::loadCookies)},
      {0, "include-urls", true, Add(&CliOptions::includeUrls)},
      {0, "exclude-urls", true, Add(&CliOptions::excludeUrls)},
      {0, "max-size", true, Set(&CliOptions::maxSize)},
      {'T', "timeout", true, Set(&CliOptions::timeout)},
      {'t', "tries", true, Set(&CliOptions::tries)},
      {0, "same-site", false, Switch(&CliOptions::sameSite, 1)},
      {0, "all-sites", false, Switch(&CliOptions::sameSite, 0)},
      {0, "flat", false, Switch(&CliOptions::flat, 1)},
      {0, "server-tree", false, Switch(&CliOptions::flat, 0)},
      {0, "cache", false, Switch(&CliOptions::cache, 1)},
      {0, "no-cache", false, Switch(&CliOptions::cache, 0)},
      {0, "confirm", false, Switch(&CliOptions::confirm, 1)},
      {0, "no-confirm", false, Switch(&CliOptions::confirm, 0)},
      {0, "https", false, Switch(&CliOptions::https, 1)},
      {0, "no-https", false, Switch(&CliOptions::https, 0)},
      {0, "robots", false, Switch(&CliOptions::robots, 1)},
      {0, "no-robots", false, Switch(&CliOptions::robots, 0)},
      {0, "dry-run", false, Raise(&CliOptions::dryRun)},
      {'q', "quiet", false, Raise(&CliOptions::quiet)},
      {'h', "help", false, Raise(&CliOptions::help)},
      {0, "version", false, Raise(&CliOptions::version)},
  };
  return options;
}

const OptionEntry* FindLong(std::string_view name) {
  for (const OptionEntry& entry : Options())
    if (entry.name == name) return &entry;
  return nullptr;
}

const OptionEntry* FindShort(char letter) {
  for (const OptionEntry& entry : Options())
    if (entry.letter == letter) return &entry;
  return nullptr;
}

class Parser {
 public:
  Parser(const std::vector<std::string>& args, CliOptions& o, std::string& error)
      : m_args(args), m_o(o), m_error(error) {}

  bool Run() {
    bool optionsEnded = false;
    for (m_i = 0; m_i < m_args.size(); ++m_i) {
      const std::string& arg = m_args[m_i];
      const bool ok = optionsEnded || arg.size() < 2 || arg[0] != '-' ? Positional(arg)
                      : arg == "--"                                    ? (optionsEnded = true)
                      : arg.starts_with("--")                          ? Long(arg)
                                                                       : Bundle(arg);
      if (!ok) return false;
    }
    return true;
  }

 private:
  bool Fail(std::string message) {
    m_error = std::move(message);
    return false;
  }

  bool Positional(const std::string& arg) {
    if (!IsProjectFileName(arg)) return Fail("'" + Shown(arg) + "' is neither a URL (use -u) nor a .tkp project");
    if (!m_o.project.empty()) return Fail("only one project file may be given: " + Shown(arg));
    m_o.project = arg;
    return true;
  }

  // The value after the option's own argument, if there is one.
  bool NextValue(const std::string& spelled, std::string& value) {
    if (m_i + 1 >= m_args.size()) return Fail("option needs a value: " + Shown(spelled));
    value = m_args[++m_i];
    return true;
  }

  bool Long(const std::string& arg) {
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const OptionEntry* entry = FindLong(std::string_view(name).substr(2));
    if (!entry) return Fail("unknown option: " + Shown(name));
    std::string value;
    if (!entry->takesValue && eq != std::string::npos) return Fail("option takes no value: " + Shown(arg));
    if (entry->takesValue) {
      if (eq != std::string::npos)
        value = arg.substr(eq + 1);
      else if (!NextValue(name, value))
        return false;
    }
    entry->store(m_o, value);
    return true;
  }

  // "-ql2": flags one after another, and the first option that takes a value takes the rest of
  // the argument, or the next argument when nothing is left.
  bool Bundle(const std::string& arg) {
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const OptionEntry* entry = FindShort(arg[k]);
      const std::string spelled = std::string("-") + arg[k];
      if (!entry) return Fail("unknown option: " + Shown(spelled) + (arg.size() > 2 ? " (in " + Shown(arg) + ")" : ""));
      if (!entry->takesValue) {
        entry->store(m_o, {});
        continue;
      }
      std::string value = arg.substr(k + 1);
      if (value.empty() && !NextValue(spelled, value)) return false;
      entry->store(m_o, value);
      return true;
    }
    return true;
  }

  const std::vector<std::string>& m_args;
  CliOptions& m_o;
  std::string& m_error;
  std::size_t m_i = 0;
};

}  // namespace

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& o, std::string& error) {
  return Parser(args, o, error).Run();
}

const char* CliUsage() {
  return "Usage: trawlkit-cli [options] [PROJECT.tkp]\n"
         "Copies a website for browsing offline: the start pages, the files they link\n"
         "to, and each saved page with its links pointing at the local copies. Options\n"
         "override the project's settings.\n"
         "\n"
         "Start pages and save folder:\n"
         "  -u, --url URL            add a start URL (repeatable); without a scheme,\n"
         "                           http:// is meant (ftp:// for a host \"ftp.*\")\n"
         "  -i, --input-file FILE    add the start URLs in FILE, one a line; blank\n"
         "                           lines and # comments are skipped; - is stdin\n"
         "  -d, --dir DIR            save folder (default ~/TrawlFiles/YYYYMMDD)\n"
         "      --https              fetch https:// URLs too (certificates verified)\n"
         "      --no-https           refuse https:// URLs (default)\n"
         "\n"
         "What to fetch:\n"
         "  -l, --layers N           layers of links to follow: 0 (start pages only)\n"
         "                           to 10, or inf for no limit\n"
         "      --same-site          stay on each start page's site (default)\n"
         "      --all-sites          follow links to every site\n"
         "  -x, --exclude TYPES      file types to leave out: mp4, .mp4, \"mp4,webm\",\n"
         "                           \"mp4 webm\" or .gif.jpg (repeatable)\n"
         "      --include-urls GLOB  follow only links whose path and query match\n"
         "                           GLOB (* is any text, / included; repeatable)\n"
         "      --exclude-urls GLOB  never follow links that match GLOB (repeatable;\n"
         "                           an exclude wins over an include)\n"
         "      --max-size SIZE      save no file larger than SIZE (bytes; k, m, g)\n"
         "      --robots             honour robots.txt and nofollow (default)\n"
         "      --no-robots          ignore them\n"
         "\n"
         "How to save:\n"
         "      --flat               save every file in one folder (default)\n"
         "      --server-tree        keep the server's folder structure\n"
         "      --confirm            ask before overwriting a file\n"
         "      --no-confirm         overwrite without asking (default)\n"
         "      --cache              let the cache answer and resume (default)\n"
         "      --no-cache           always fetch from the server\n"
         "\n"
         "Politeness, identity and network:\n"
         "  -w, --wait SECONDS       pause between requests (decimal, e.g. 0.5)\n"
         "      --limit-rate RATE    at most RATE bytes per second (k, m: 200k)\n"
         "      --connections N      connections at once to a server, 1-5 (default 5)\n"
         "  -U, --user-agent TEXT    send TEXT as the user agent\n"
         "      --load-cookies FILE  send the cookies of FILE, a browser's cookies.txt\n"
         "  -T, --timeout SECONDS    give up connecting, or waiting for data, after\n"
         "                           SECONDS (default 60)\n"
         "  -t, --tries N            tries for a failure a retry may pass, 1-100\n"
         "                           (default 3)\n"
         "\n"
         "Project and output:\n"
         "      --save-project F     save the settings to the project F (.tkp) first\n"
         "      --dry-run            show the settings, the start URLs and what would\n"
         "                           be saved where; fetch and save nothing\n"
         "  -q, --quiet              no log on standard output, no progress line\n"
         "  -h, --help               show this help\n"
         "      --version            show the version, libcurl's and the TLS library's\n"
         "\n"
         "Short options bundle and take their values attached (-ql2, -d~/dl); -- ends\n"
         "the options. A leading ~ in a folder or file name is the home folder; a\n"
         "relative save folder, also one stored in a project, is taken from the current\n"
         "folder.\n"
         "\n"
         "Logins: a server that asks for a password gets its host's entry in ~/.netrc\n"
         "(machine, login, password; else default), else the question comes on the\n"
         "terminal; user:password@ in a URL is used too and never shown.\n"
         "\n"
         "Environment: with --https, certificates are checked against the bundle that\n"
         "CURL_CA_BUNDLE names, else the one SSL_CERT_FILE names, and the folder that\n"
         "SSL_CERT_DIR names; with none of them, against the system's store. http_proxy,\n"
         "https_proxy, ftp_proxy and no_proxy are honoured.\n"
         "\n"
         "Exit status: 0 no error, 1 an NG line in the run, 2 bad input, 3 cancelled.\n";
}

}  // namespace tk::cli
