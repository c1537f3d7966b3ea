#include "pages/advanced_dlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <filesystem>

#include "base/home_folder.h"
#include "engine/save_folder.h"
#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "resources/up_down.h"
#include "resources/utf8_text.h"
#include "shell/message_box.h"

namespace tk {
namespace {

constexpr std::string_view kRateSuffixes = "km";
constexpr std::string_view kSizeSuffixes = "kmg";

bool AskCookiesFile(QWidget* owner, std::string& path) {
  const QString chosen =
      QFileDialog::getOpenFileName(owner, QString(), QString(), FromUtf8(res::kTextCookiesFilter));
  if (chosen.isEmpty()) return false;
  path = chosen.toStdString();
  return true;
}

QString Text(const std::string& text) { return FromUtf8(text); }

}  // namespace

CAdvancedDlg::CAdvancedDlg(QWidget* owner, const AdvancedOptions& options)
    : QDialog(owner),
      m_controls(res::BuildDialog(*res::FindDialog(res::kDlgAdvanced), this)),
      m_options(options),
      m_cookiesPrompt(AskCookiesFile) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  Get<res::UpDownControl>(res::kAdvancedConnectionsSpin)->SetRange(1, kMaxConnections);
  const std::pair<int, int> tips[] = {
      {res::kAdvancedRobots, res::kIdsRobotsTip},         {res::kAdvancedWait, res::kIdsWaitTip},
      {res::kAdvancedRate, res::kIdsRateTip},             {res::kAdvancedConnections, res::kIdsConnectionsTip},
      {res::kAdvancedUserAgent, res::kIdsUserAgentTip},   {res::kAdvancedCookies, res::kIdsCookiesTip},
      {res::kAdvancedCookiesBrowse, res::kIdsCookiesBrowseTip}, {res::kAdvancedInclude, res::kIdsIncludeTip},
      {res::kAdvancedExclude, res::kIdsExcludeTip},       {res::kAdvancedMaxSize, res::kIdsMaxSizeTip},
      {res::kAdvancedTimeout, res::kIdsTimeoutTip},       {res::kAdvancedTries, res::kIdsTriesTip}};
  for (const auto& [id, text] : tips) Control(id)->setToolTip(FromUtf8(res::LoadString(text)));
  // Tab leaves the pattern lists as it leaves every other field; a pattern holds no tab.
  for (int id : {res::kAdvancedInclude, res::kAdvancedExclude}) Get<QPlainTextEdit>(id)->setTabChangesFocus(true);
  Show(options);
  connect(Get<QPushButton>(res::kIdOk), &QPushButton::clicked, this, &CAdvancedDlg::accept);
  connect(Get<QPushButton>(res::kIdCancel), &QPushButton::clicked, this, &CAdvancedDlg::reject);
  connect(Get<QPushButton>(res::kAdvancedCookiesBrowse), &QPushButton::clicked, this, &CAdvancedDlg::BrowseCookies);
  Control(res::kAdvancedRobots)->setFocus();
}

void CAdvancedDlg::Show(const AdvancedOptions& o) {
  Get<QCheckBox>(res::kAdvancedRobots)->setChecked(o.Robots);
  Get<QLineEdit>(res::kAdvancedWait)->setText(Text(SecondsText(o.WaitSeconds)));
  Get<QLineEdit>(res::kAdvancedRate)->setText(Text(ByteCountText(o.LimitRate, kRateSuffixes)));
  Get<QLineEdit>(res::kAdvancedConnections)->setText(QString::number(o.Connections));
  Get<QLineEdit>(res::kAdvancedUserAgent)->setText(Text(o.UserAgent));
  Get<QLineEdit>(res::kAdvancedCookies)->setText(Text(o.LoadCookies));
  Get<QPlainTextEdit>(res::kAdvancedInclude)->setPlainText(Text(PatternText(o.IncludeUrls)));
  Get<QPlainTextEdit>(res::kAdvancedExclude)->setPlainText(Text(PatternText(o.ExcludeUrls)));
  Get<QLineEdit>(res::kAdvancedMaxSize)->setText(Text(ByteCountText(o.MaxSize, kSizeSuffixes)));
  Get<QLineEdit>(res::kAdvancedTimeout)->setText(Text(SecondsText(o.TimeoutSeconds)));
  Get<QLineEdit>(res::kAdvancedTries)->setText(QString::number(o.Tries));
}

std::string CAdvancedDlg::FieldText(int id) const {
  QString text;
  if (auto* edit = Get<QLineEdit>(id)) text = edit->text();
  if (auto* edit = Get<QPlainTextEdit>(id)) text = edit->toPlainText();
  return text.toStdString();
}

bool CAdvancedDlg::Fail(std::string_view message, int id) {
  ShowInputError(this, message);
  Control(id)->setFocus();
  return false;
}

bool CAdvancedDlg::ReadNumbers(AdvancedOptions& out) {
  // Digits typed in full width through an input method count as the ASCII ones.
  auto number = [this](int id) {
    return Get<QLineEdit>(id)->text().normalized(QString::NormalizationForm_KC).toStdString();
  };
  const auto wait = ReadSeconds(number(res::kAdvancedWait));
  if (!wait) return Fail(res::kTextWaitInvalid, res::kAdvancedWait);
  const auto rate = ReadByteCount(number(res::kAdvancedRate), kRateSuffixes);
  if (!rate) return Fail(res::kTextRateInvalid, res::kAdvancedRate);
  const auto connections = ReadCount(number(res::kAdvancedConnections), 1, kMaxConnections);
  if (!connections) return Fail(res::kTextConnectionsInvalid, res::kAdvancedConnections);
  out.WaitSeconds = *wait;
  out.LimitRate = *rate;
  out.Connections = *connections;
  return true;
}

bool CAdvancedDlg::ReadIdentity(AdvancedOptions& out) {
  const std::string agent = FieldText(res::kAdvancedUserAgent);
  // A line break would end the header and start another of the user's making.
  if (HasControlCharacter(agent)) return Fail(res::kTextUserAgentInvalid, res::kAdvancedUserAgent);
  std::string cookies = FieldText(res::kAdvancedCookies);
  if (!cookies.empty()) {
    // "~/cookies.txt" and a relative name mean what they mean in a terminal; the project keeps
    // the whole path, so it names the same file wherever the program is started.
    std::error_code ec;
    const auto whole = ResolveSaveFolder(cookies, HomeFolder(), std::filesystem::current_path(ec));
    if (!whole || !std::filesystem::is_regular_file(*whole, ec))
      return Fail(res::FillIn(res::kTextCookiesNotFound, cookies), res::kAdvancedCookies);
    cookies = *whole;
  }
  out.UserAgent = agent;
  out.LoadCookies = cookies;
  return true;
}

bool CAdvancedDlg::ReadLimits(AdvancedOptions& out) {
  auto number = [this](int id) {
    return Get<QLineEdit>(id)->text().normalized(QString::NormalizationForm_KC).toStdString();
  };
  const auto maxSize = ReadByteCount(number(res::kAdvancedMaxSize), kSizeSuffixes);
  if (!maxSize) return Fail(res::kTextMaxSizeInvalid, res::kAdvancedMaxSize);
  const auto timeout = ReadSeconds(number(res::kAdvancedTimeout));
  if (!timeout || *timeout <= 0) return Fail(res::kTextTimeoutInvalid, res::kAdvancedTimeout);
  const auto tries = ReadCount(number(res::kAdvancedTries), kMinTries, kMaxTries);
  if (!tries) return Fail(res::kTextTriesInvalid, res::kAdvancedTries);
  out.MaxSize = *maxSize;
  out.TimeoutSeconds = *timeout;
  out.Tries = *tries;
  return true;
}

bool CAdvancedDlg::Read(AdvancedOptions& out) {
  out.Robots = Get<QCheckBox>(res::kAdvancedRobots)->isChecked();
  if (!ReadNumbers(out) || !ReadIdentity(out)) return false;
  out.IncludeUrls = PatternLines(FieldText(res::kAdvancedInclude));
  out.ExcludeUrls = PatternLines(FieldText(res::kAdvancedExclude));
  return ReadLimits(out);
}

void CAdvancedDlg::accept() {
  AdvancedOptions read = m_options;
  if (!Read(read)) return;
  m_options = std::move(read);
  // What OK took is shown as it will be stored: "~/c.txt" as its whole path, "0.50" as "0.5".
  Show(m_options);
  QDialog::accept();
}

void CAdvancedDlg::BrowseCookies() {
  std::string path;
  if (m_cookiesPrompt(this, path)) Get<QLineEdit>(res::kAdvancedCookies)->setText(Text(path));
}

}  // namespace tk
