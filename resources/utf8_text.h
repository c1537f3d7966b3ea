#pragma once
// Every text the program holds is UTF-8 (the string table, the layouts, the engine's URLs, paths
// and log); this is the one place where such a text becomes a QString. The way back is
// QString::toStdString, which gives UTF-8 as well.
#include <QString>

#include <string_view>

namespace tk {

inline QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace tk
