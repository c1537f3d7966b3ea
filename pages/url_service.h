#pragma once
// Start URLs as the wizard's boxes and drop targets take them (KindOfStartUrl decides).
#include <string>
#include <string_view>

class QMimeData;

namespace tk {

enum class UrlService { None, Http, Ftp };

// Http or Ftp when the parser accepts the text with that scheme; None for every other scheme
// (file, mailto...) and for text that is no URL. An https URL counts as Http when `https` is set
// (the start page's HTTPS box), else as None. Blanks are the parser's business.
UrlService GetUrlService(std::string_view text, bool https = false);

// What a drop offers as its text: the plain text, whole and untrimmed; without plain text, the
// first URL of a text/uri-list as listed; else empty.
std::string DroppedText(const QMimeData* data);

// The dropped text (DroppedText) when it is an HTTP or FTP URL (or https, when `https` is set);
// `url` is emptied first and stays empty otherwise.
UrlService GetDroppedUrl(const QMimeData* data, std::string& url, bool https = false);

// The text a drag out of the start-URL list carries: it stands for "delete the selected entries".
inline constexpr std::string_view kTrashMarker = "This the string indicate to trash a list of URL.";

// True when the dragged plain text is the marker, byte for byte.
bool IsTrashMarker(const QMimeData* data);

}  // namespace tk
