#include "engine/page_link_file.h"

namespace tk {
namespace {
std::string_view LinkBytes(const PageLinkList& list) {
  return {reinterpret_cast<const char*>(list.links.data()), list.links.size() * sizeof(std::uint32_t)};
}
}  // namespace

PageLinkFile::Place PageLinkFile::Put(const PageLinkList& list) {
  const Place place{m_file.Append(LinkBytes(list)), static_cast<std::uint32_t>(list.links.size()),
                    static_cast<std::uint32_t>(list.text.size())};
  m_file.Append(list.text);
  return place;
}

bool PageLinkFile::Get(const Place& place, PageLinkList& list) const {
  list.links.resize(place.count);
  list.text.resize(place.textBytes);
  const std::size_t linkBytes = std::size_t{place.count} * sizeof(std::uint32_t);
  if (m_file.Read(place.at, reinterpret_cast<char*>(list.links.data()), linkBytes) &&
      m_file.Read(place.at + linkBytes, list.text.data(), place.textBytes))
    return true;
  list.links.clear();
  list.text.clear();
  return false;
}

bool PageLinkFile::Rewrite(Place& place, const PageLinkList& list) {
  const std::string_view links = LinkBytes(list);
  if (links.size() + list.text.size() > std::size_t{place.count} * sizeof(std::uint32_t) + place.textBytes)
    return false;
  std::string data(links);
  data += list.text;
  if (!m_file.Write(place.at, data)) return false;
  place.count = static_cast<std::uint32_t>(list.links.size());
  place.textBytes = static_cast<std::uint32_t>(list.text.size());
  return true;
}

}  // namespace tk
