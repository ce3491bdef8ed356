#include "text/book_encoding_part.h"

#include <array>
#include <utility>

#include "res/command_ids.h"
#include "store/book_encodings.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

// The menu's items in order; the first forgets the choice.
const std::array<std::pair<int, std::optional<BookEncoding>>, 6> kItems = {{
    {cmd::kEncodingAuto, std::nullopt},
    {cmd::kEncodingGbk, BookEncoding::Gbk},
    {cmd::kEncodingUtf8, BookEncoding::Utf8},
    {cmd::kEncodingBig5, BookEncoding::Big5},
    {cmd::kEncodingUtf16Le, BookEncoding::Utf16Le},
    {cmd::kEncodingUtf16Be, BookEncoding::Utf16Be},
}};

}  // namespace

std::optional<BookEncoding> ChosenEncoding(CVarneloView& view, const std::string& path) {
  const std::optional<std::string> name = EncodingChoiceOf(path, view.Store().SettingsPath());
  return name ? EncodingFromName(*name) : std::nullopt;
}

void CarryEncodingChoice(CVarneloView& view, const std::string& from, const std::string& to) {
  const std::optional<BookEncoding> chosen = ChosenEncoding(view, from);
  if (chosen && from != to)
    StoreEncodingChoice(to, std::string(EncodingName(*chosen)), view.Store().SettingsPath());
}

QString RefusedCharacterMessage(BookEncoding encoding, char32_t character) {
  return QStringLiteral("警告！这本书的编码是 %1，存不下“%2”（U+%3），未保存！\n请改掉这个字后再保存。")
      .arg(QString::fromLatin1(EncodingLabel(encoding)),
           QString::fromUcs4(&character, 1),
           QStringLiteral("%1").arg(static_cast<unsigned>(character), 4, 16, QLatin1Char('0')).toUpper());
}

EncodingPart::EncodingPart(CVarneloView& view) : view_(view) {
  for (const auto& [id, encoding] : kItems) {
    view_.Commands().Add(
        id, [this, encoding = encoding](int) { Choose(encoding); },
        [this, encoding = encoding](int, CommandState& state) {
          const bool open = view_.RefusedUnicodePath().empty() && !view_.CurrentPath().empty();
          state.enabled = !Target().empty();
          state.checkable = true;
          // The encoding the book is read in; else what the next one gets.
          state.checked = open ? encoding == view_.Form().encoding : !encoding;
        });
  }
}

const std::string& EncodingPart::Target() const {
  return view_.RefusedUnicodePath().empty() ? view_.CurrentPath() : view_.RefusedUnicodePath();
}

void EncodingPart::Choose(std::optional<BookEncoding> encoding) {
  const std::string path = Target();
  if (path.empty()) return;
  if (!view_.OfferToSaveEdits()) return;  // the edits could not be written: stay
  const std::string& settings = view_.Store().SettingsPath();
  const std::optional<std::string> before = EncodingChoiceOf(path, settings);
  StoreEncodingChoice(path, encoding ? std::string(EncodingName(*encoding)) : std::string(), settings);
  // Cancelled, the book stays in the encoding it is read in, and so does its choice.
  if (!view_.LoadText(path) && view_.LoadCancelled()) StoreEncodingChoice(path, before.value_or(std::string()), settings);
}

}  // namespace varnelo
