#include "aids/conversion_part.h"

#include <algorithm>
#include <optional>

#include "platform/long_work.h"
#include "platform/rich_pane.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "store/config_schema.h"
#include "store/store_messages.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

namespace {

// Pages kept converted: turning back and forth over a few pages converts each once.
constexpr std::size_t kCachedPages = 6;

}  // namespace

TextConversion::TextConversion(CVarneloView& view) : view_(view) {
  const struct {
    int id;
    ConvertMode mode;
  } items[] = {{cmd::kConvertNone, ConvertMode::None},
               {cmd::kConvertSimplified, ConvertMode::Simplified},
               {cmd::kConvertTraditional, ConvertMode::Traditional}};
  for (const auto& item : items) {
    view_.Commands().Add(
        item.id, [this, mode = item.mode](int) { Choose(mode); },
        [this, mode = item.mode](int, CommandState& state) {
          // Greyed while editing: the pane then holds the book's own characters.
          state.enabled = !view_.EditMode();
          state.checkable = true;
          state.checked = mode_ == mode;
        });
  }
}

void TextConversion::OnStartup(StartupStep step) {
  if (step != StartupStep::SettingsRead) return;
  ConfigValues& config = view_.Settings().config;
  ReadKey(config, ConfigKey::ConvertFlag, view_.Store().SettingsPath());
  mode_ = ConvertModeOf(config.convertFlag);
}

bool TextConversion::Active() const { return mode_ != ConvertMode::None && !view_.EditMode(); }

void TextConversion::OnPageText(int page, QString& text) {
  if (!Active() || text.isEmpty()) return;
  if (std::optional<QString> converted = Converted(mode_, page, text)) text = std::move(*converted);
}

std::optional<QString> TextConversion::Converted(ConvertMode mode, int page, const QString& source) {
  for (auto it = cache_.begin(); it != cache_.end(); ++it) {
    if (it->mode == mode && it->page == page && it->source == source) {
      cache_.splice(cache_.begin(), cache_, it);
      return cache_.front().converted;
    }
  }
  // A long page converts off the window's thread, and so do the dictionaries the first
  // time (a tenth of a second).
  std::u16string result;
  const std::u16string text = source.toStdU16String();
  if (RunLongWork(&view_, QStringLiteral("正在转换……"), [&](WorkControl&) {
        if (converter_.Ready(mode)) result = converter_.Convert(mode, text);
      }) == WorkOutcome::Cancelled) {
    cancelled_ = true;
    return std::nullopt;
  }
  // Asked again: the dictionaries failed to load, or OpenCC failed on this page; it stays off.
  if (!converter_.Ready(mode)) {
    TellUnavailable();
    return std::nullopt;
  }
  ++conversions_;
  cache_.push_front({mode, page, source, QString::fromStdU16String(result)});
  if (cache_.size() > kCachedPages) cache_.pop_back();
  return cache_.front().converted;
}

void TextConversion::TellUnavailable() {
  if (toldUnavailable_) return;
  toldUnavailable_ = true;
  MessageBoxes().Show(&view_,
                      QStringLiteral("简繁转换不可用，页面按书中原有的字显示：\n") +
                          QString::fromStdString(converter_.Error()),
                      QString(), MessageButtons::Ok, MessageIcon::Exclamation);
}

void TextConversion::OnEditModeChanged(bool on) {
  // Edits still in the pane when edit mode ends (the book is being replaced or read again)
  // stay as typed: the next page shown is converted again.
  if (mode_ == ConvertMode::None || (!on && view_.Pane()->IsModified())) return;
  ShowAgain();
}

void TextConversion::ShowAgain() {
  if (view_.CurrentPath().empty() || view_.PageCount() == 0) return;
  RichPane* pane = view_.Pane();
  const int top = std::max(pane->LineIndex(pane->FirstVisibleLine()), 0);
  view_.ShowPage(view_.CurrentPage());
  if (top > 0) ScrollPositionToTop(*pane, top);
}

void TextConversion::Choose(ConvertMode mode) {
  if (view_.EditMode() || mode == mode_) return;
  // The page on screen is converted first: cancelled, nothing has changed.
  if (mode != ConvertMode::None && !view_.CurrentPath().empty() && view_.PageCount() > 0) {
    const QString source = view_.PaneSourceText(view_.CurrentPage());
    cancelled_ = false;
    if (!source.isEmpty()) (void)Converted(mode, view_.CurrentPage(), source);
    if (cancelled_) return;
  }
  mode_ = mode;
  ConfigValues& config = view_.Settings().config;
  config.convertFlag = static_cast<int>(mode);
  const std::string& path = view_.Store().SettingsPath();
  if (!WriteKey(config, ConfigKey::ConvertFlag, path)) {
    MessageBoxes().Show(&view_, NotWrittenMessage(path, QStringLiteral("简繁转换的选择未保存")), QString(),
                        MessageButtons::Ok, MessageIcon::Exclamation);
  }
  ShowAgain();
}

QString TextConversion::Shown(const QString& text) {
  if (!Active() || !converter_.Ready(mode_)) return text;
  return QString::fromStdU16String(converter_.Convert(mode_, text.toStdU16String()));
}

std::vector<QString> TextConversion::BookForms(const QString& words) {
  std::vector<QString> forms{words};
  if (mode_ == ConvertMode::None) return forms;
  const ConvertMode back = OppositeOf(mode_);
  if (!converter_.Ready(back)) return forms;
  const QString other = QString::fromStdU16String(converter_.Convert(back, words.toStdU16String()));
  if (other != words) forms.push_back(other);
  return forms;
}

}  // namespace varnelo
