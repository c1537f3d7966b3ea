#include "engine/visited_list.h"

#include <algorithm>
#include <cstring>

#include "engine/run_state.h"

namespace tk {

std::string_view TextStore::Put(std::string_view text) {
  Blocks& b = *m_blocks;
  if (b.blocks.empty() || b.size - b.used < text.size()) {
    // Blocks of 64 KiB, or one of its own for a longer text: the waste at a block's end stays
    // small beside what it holds.
    b.size = std::max<std::size_t>(64 * 1024, text.size());
    b.blocks.push_back(std::make_unique<char[]>(b.size));
    b.used = 0;
  }
  char* at = b.blocks.back().get() + b.used;
  if (!text.empty()) std::memcpy(at, text.data(), text.size());
  b.used += text.size();
  return {at, text.size()};
}

std::pair<std::string_view, bool> NameSet::insert(std::string_view name) {
  const std::size_t hash = HashNoCase{}(name);
  const auto same = [&](std::uint32_t n) { return EqualsNoCase(m_names[n], name); };
  if (std::uint32_t* slot = m_index.Find(hash, same); slot && *slot != 0) return {m_names[*slot - 1], false};
  m_index.Reserve(m_names.size(), [this](std::uint32_t n) { return HashNoCase{}(m_names[n]); });
  std::uint32_t* slot = m_index.Find(hash, same);
  m_names.push_back(m_text.Put(name));
  *slot = static_cast<std::uint32_t>(m_names.size());
  return {m_names.back(), true};
}

bool NameSet::contains(std::string_view name) const {
  const std::uint32_t* slot =
      m_index.Find(HashNoCase{}(name), [&](std::uint32_t n) { return EqualsNoCase(m_names[n], name); });
  return slot && *slot != 0;
}

std::string_view NameSet::Find(std::string_view name) const {
  const std::uint32_t* slot =
      m_index.Find(HashNoCase{}(name), [&](std::uint32_t n) { return EqualsNoCase(m_names[n], name); });
  if (!slot || *slot == 0 || m_names[*slot - 1] != name) return {};
  return m_names[*slot - 1];
}

namespace {

// The key without the port after its host: "http://h:80/a" is "http://h/a". Only ever compared
// with a URL as a whole, so its reading of an odd key needs only to be the same every time.
std::string KeyWithoutPort(std::string_view key) {
  const std::size_t scheme = key.find("://");
  if (scheme == std::string_view::npos) return std::string(key);
  const std::size_t start = scheme + 3;
  const std::size_t end = std::min(key.find_first_of("/?#", start), key.size());
  const std::size_t colon = key.substr(0, end).rfind(':');
  if (colon == std::string_view::npos || colon < start) return std::string(key);
  return std::string(key.substr(0, colon)).append(key.substr(end));
}

}  // namespace

std::string UrlRecord::Url() const {
  switch (Form) {
    case UrlForm::Key:
      return std::string(Key);
    case UrlForm::KeyWithoutPort:
      return KeyWithoutPort(Key);
    case UrlForm::Own:
      break;
  }
  return std::string(Key.substr(0, UrlHead)).append(OwnUrl).append(Key.substr(Key.size() - UrlTail));
}

bool UrlRecord::UrlIs(std::string_view url) const {
  switch (Form) {
    case UrlForm::Key:
      return Key == url;
    case UrlForm::KeyWithoutPort:
      return url.size() < Key.size() && KeyWithoutPort(Key) == url;
    case UrlForm::Own:
      break;
  }
  return url.size() == std::size_t{UrlHead} + OwnUrl.size() + UrlTail && url.substr(0, UrlHead) == Key.substr(0, UrlHead) &&
         url.substr(UrlHead, OwnUrl.size()) == OwnUrl && url.substr(url.size() - UrlTail) == Key.substr(Key.size() - UrlTail);
}

void UrlRecord::ForgetPendingLinks() {
  if (!Extras) return;
  Extras->PendingLinks = {};
  Extras->PendingKeys = {};
}

void UrlRecord::Compact(PageLinkFile& file) {
  if (!Extras) return;
  PageLinkList& live = Extras->Links;
  if (!live.empty()) {
    PageLinkList kept;
    // A page scanned afresh (a start page given again) adds its links to those kept before.
    if ((KeptLinks.count != 0 || KeptLinks.textBytes != 0) && file.Get(KeptLinks, kept)) {
      for (std::uint32_t& link : live.links)
        if (link & kLinkText) link = PageLinkToText(PageLinkTextAt(link) + kept.text.size());
      kept.links.insert(kept.links.end(), live.links.begin(), live.links.end());
      kept.text += live.text;
      KeptLinks = file.Put(kept);
    } else {
      KeptLinks = file.Put(live);
    }
    live = {};
  }
  if (Extras->PendingLinks.empty()) {
    Extras.reset();
    return;
  }
  Extras->PendingLinks.shrink_to_fit();
  Extras->PendingKeys.shrink_to_fit();
}

void VisitedList::SetLocalPath(UrlRecord& record, std::string_view path, const NameSet& names) {
  if (path.empty()) {
    record.LocalPath = {};
    return;
  }
  const std::string_view kept = names.Find(path);
  if (kept.empty()) {
    record.LocalPath = m_text.Put(path);
    return;
  }
  if (m_nameText != names.TextOwner()) m_nameText = names.TextOwner();
  record.LocalPath = kept;
}

std::pair<UrlRecord*, bool> VisitedList::Add(std::string_view key) {
  const std::size_t hash = HashNoCase{}(key);
  const auto same = [&](std::uint32_t n) { return EqualsNoCase(m_records[n].Key, key); };
  if (std::uint32_t* slot = m_index.Find(hash, same); slot && *slot != 0) return {&m_records[*slot - 1], false};
  m_index.Reserve(m_records.size(), [this](std::uint32_t n) { return HashNoCase{}(m_records[n].Key); });
  std::uint32_t* slot = m_index.Find(hash, same);
  UrlRecord& record = m_records.emplace_back();
  record.Key = m_text.Put(key);
  record.Index = static_cast<std::uint32_t>(m_records.size() - 1);
  record.KeyTag = static_cast<std::uint32_t>(hash);
  *slot = record.Index + 1;
  return {&record, true};
}

const UrlRecord* VisitedList::Find(std::string_view key) const { return Find(key, HashNoCase{}(key)); }

const UrlRecord* VisitedList::Find(std::string_view key, std::size_t hash) const {
  const std::uint32_t* slot =
      m_index.Find(hash, [&](std::uint32_t n) { return EqualsNoCase(m_records[n].Key, key); });
  return slot && *slot != 0 ? &m_records[*slot - 1] : nullptr;
}

bool VisitedList::AddedSince(std::uint32_t since, std::string_view key, std::size_t hash) const {
  const auto tag = static_cast<std::uint32_t>(hash);
  for (std::size_t n = since; n < m_records.size(); ++n)
    if (m_records[n].KeyTag == tag && EqualsNoCase(m_records[n].Key, key)) return true;
  return false;
}

UrlRecord* VisitedList::Find(std::string_view key) {
  return const_cast<UrlRecord*>(std::as_const(*this).Find(key));
}

void VisitedList::SetUrl(UrlRecord& record, std::string_view url) {
  if (url == record.Key) {
    record.Form = UrlRecord::UrlForm::Key;
  } else if (url.size() < record.Key.size() && KeyWithoutPort(record.Key) == url) {
    record.Form = UrlRecord::UrlForm::KeyWithoutPort;
  } else {
    record.Form = UrlRecord::UrlForm::Own;
    const std::string_view key = record.Key;
    const std::size_t most = std::min<std::size_t>({url.size(), key.size(), 0xffff});
    std::size_t head = 0;
    while (head < most && url[head] == key[head]) ++head;
    std::size_t tail = 0;
    while (tail < most - head && url[url.size() - 1 - tail] == key[key.size() - 1 - tail]) ++tail;
    record.UrlHead = static_cast<std::uint16_t>(head);
    record.UrlTail = static_cast<std::uint16_t>(tail);
    record.OwnUrl = m_text.Put(url.substr(head, url.size() - head - tail));
  }
}

std::uint32_t VisitedList::Context(const std::string& text) {
  // A handful at most: the rule contexts differ only by the flags and the start page's hosts.
  for (std::size_t i = 1; i < m_contexts.size(); ++i)
    if (m_contexts[i] == text) return static_cast<std::uint32_t>(i);
  m_contexts.push_back(text);
  return static_cast<std::uint32_t>(m_contexts.size() - 1);
}

}  // namespace tk
