#include "engine/start_url.h"

#include "inet/inet.h"

namespace tk {

StartUrlKind KindOfStartUrl(std::string_view url, bool https) {
  const auto parsed = inet::ParseUrl(url);
  if (!parsed) return StartUrlKind::Other;
  switch (parsed->service) {
    case inet::Service::Http: return StartUrlKind::Http;
    case inet::Service::Ftp: return StartUrlKind::Ftp;
    case inet::Service::Https: return https ? StartUrlKind::Http : StartUrlKind::HttpsOff;
    case inet::Service::Other: return StartUrlKind::Other;
  }
  return StartUrlKind::Other;
}

}  // namespace tk
