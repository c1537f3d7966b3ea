#include "pages/url_service.h"

#include <QMimeData>

#include "engine/start_url.h"

namespace tk {
namespace {

bool HasPlainText(const QMimeData* data) {
  return data->hasFormat(QStringLiteral("text/plain")) || data->hasFormat(QStringLiteral("text/plain;charset=utf-8"));
}

// The first URL of a text/uri-list: lines end in CR LF (a bare LF is taken too), and "#" starts a
// comment line. Taken as the bytes stand, already encoded: Qt's own reading of the list would
// decode escapes and drop a password from the URL.
std::string FirstListedUri(const QByteArray& list) {
  for (QByteArray line : list.split('\n')) {
    line = line.trimmed();
    // Some programs end the list with a NUL.
    while (line.endsWith('\0')) line.chop(1);
    if (!line.isEmpty() && !line.startsWith('#')) return line.toStdString();
  }
  return {};
}

}  // namespace

std::string DroppedText(const QMimeData* data) {
  if (!data) return {};
  if (HasPlainText(data)) return data->text().toStdString();
  // A browser that offers a link only as a URI list.
  if (data->hasFormat(QStringLiteral("text/uri-list")))
    return FirstListedUri(data->data(QStringLiteral("text/uri-list")));
  return {};
}

UrlService GetUrlService(std::string_view text, bool https) {
  switch (KindOfStartUrl(text, https)) {
    case StartUrlKind::Http: return UrlService::Http;
    case StartUrlKind::Ftp: return UrlService::Ftp;
    // The wizard's boxes say only "enter a URL": an https URL with HTTPS off is no URL to them.
    case StartUrlKind::HttpsOff:
    case StartUrlKind::Other: return UrlService::None;
  }
  return UrlService::None;
}

UrlService GetDroppedUrl(const QMimeData* data, std::string& url, bool https) {
  url.clear();
  std::string text = DroppedText(data);
  if (text.empty()) return UrlService::None;
  const UrlService service = GetUrlService(text, https);
  if (service != UrlService::None) url = std::move(text);
  return service;
}

bool IsTrashMarker(const QMimeData* data) {
  return data && HasPlainText(data) && data->text().toStdString() == kTrashMarker;
}

}  // namespace tk
