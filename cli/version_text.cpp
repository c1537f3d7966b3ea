#include "cli/version_text.h"

#include <curl/curl.h>

namespace tk::cli {

std::string VersionText() {
  std::string text = "trawlkit-cli " TRAWLKIT_VERSION "\n";
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  if (!info) return text;
  text += std::string("libcurl ") + (info->version ? info->version : "?");
  text += std::string(", TLS: ") + (info->ssl_version ? info->ssl_version : "none");
  return text + "\n";
}

}  // namespace tk::cli
