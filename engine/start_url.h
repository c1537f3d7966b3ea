#pragma once
// Which texts a run takes as start URLs. The wizard and the CLI both ask this one rule, and each
// words a refusal in its own texts.
#include <string_view>

namespace tk {

enum class StartUrlKind {
  Http,      // http, or https while the project's HTTPS is on
  Ftp,
  HttpsOff,  // an https URL while HTTPS is off: it would be taken with HTTPS on
  Other,     // another scheme (file, mailto...), or text that is no URL at all
};

// `url` as the internet layer's parser reads it; blanks around it are the parser's business.
StartUrlKind KindOfStartUrl(std::string_view url, bool https);

}  // namespace tk
