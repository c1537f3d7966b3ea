#include "pages/url_service.h"

#include <QMimeData>

#include "inet/inet.h"

namespace tk {

UrlService GetUrlService(std::string_view text, bool https) {
  const auto url = inet::ParseUrl(text);
  if (!url) return UrlService::None;
  switch (url->service) {
    case inet::Service::Http: return UrlService::Http;
    case inet::Service::Ftp: return UrlService::Ftp;
    case inet::Service::Https: return https ? UrlService::Http : UrlService::None;
    case inet::Service::Other: return UrlService::None;
  }
  return UrlService::None;
}

UrlService GetDroppedUrl(const QMimeData* data, std::string& url, bool https) {
  url.clear();
  if (!data || !data->hasText()) return UrlService::None;
  std::string text = data->text().toStdString();
  const UrlService service = GetUrlService(text, https);
  if (service != UrlService::None) url = std::move(text);
  return service;
}

bool IsTrashMarker(const QMimeData* data) {
  if (!data || !data->hasText()) return false;
  return data->text().toStdString() == kTrashMarker;
}

}  // namespace tk
