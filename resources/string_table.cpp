#include "resources/string_table.h"

#include <array>
#include <utility>

namespace tk::res {
namespace {

// Tooltip texts (106 to 121) are shown as they stand, repetitions included.
constexpr std::array<std::pair<int, std::string_view>, 21> kStrings{{
    {101, "Trawlkit のバージョン情報(&A)..."},
    {102, "Trawlkit"},
    {103, "スタート"},
    {104, "オプション"},
    {105, "ダウンロード"},
    {106, "スタートページURLをリストに追加"},
    {107, "スタートページURLをリストから削除"},
    {108, "Trawlkitプロジェクト(*.tkp)を開く"},
    {109, "ダウンロード除外ファイルタイプ追加"},
    {110, "選択されたダウンロード除外ファイルタイプを削除"},
    {111, "オンの時、ダウンロード時にシステムに保存されているキャッシュデータを優先的使用する。"
          "オフの時、無条件にサーバーサイトからダウンロードする。"},
    {112, "スタートページのみをダウンロードする。"},
    {113, "スタートページから設定された層数までのリンクページをダウンロードする。"},
    {114, "スタートページと同じサイトのファイルのみダウンロードする。"},
    {115, "全てのサイトのファイルをダウンロードする。"},
    {116, "ダウンロードされた全てのファイルを１つのディレクトリに保存する。"},
    {117, "ダウンロードされた全てのファイルをサーバーサイトと同じディレクトリ構成で保存する。"},
    {118, "オンの時、ファイルを上書きする前に確認を行う。"},
    {119, "オンの時、プロジェクトを保存してからダウンロードする。"},
    {120, "オンの時、オンの時、終了前にプロジェクトを保存する。"},
    {121, "オンの時、https://で始まるURLもhttp://と同じように取得する。サーバー証明書は必ず検証する。"},
}};

}  // namespace

std::string FillIn(std::string_view text, std::string_view value) {
  // Built from its three parts: GCC 12 misreads an in-place replace as an overflow at -O2.
  const size_t at = text.find("%s");
  if (at == std::string_view::npos) return std::string(text);
  std::string out(text.substr(0, at));
  out.append(value);
  out.append(text.substr(at + 2));
  return out;
}

std::string_view LoadString(int id) {
  for (const auto& [key, text] : kStrings)
    if (key == id) return text;
  return {};
}

}  // namespace tk::res
