#include "aids/clean_apply.h"

#include <filesystem>

#include "platform/long_work.h"
#include "platform/services.h"
#include "text/book_encoding.h"
#include "text/book_encoding_part.h"
#include "text/display_text.h"
#include "text/file_splice.h"
#include "text/page_editor.h"
#include "text/page_write_back.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {

namespace {

const QString kCaption = QStringLiteral("净化规则");

void Tell(CVarneloView& view, const QString& text, MessageIcon icon = MessageIcon::Exclamation) {
  MessageBoxes().Show(&view, text, kCaption, MessageButtons::Ok, icon);
}

}  // namespace

std::string CleanBackupPath(const std::string& book) {
  std::error_code ignored;
  std::string path = book + ".bak";
  for (int k = 2; std::filesystem::exists(std::filesystem::symlink_status(path, ignored)); ++k)
    path = book + "." + std::to_string(k) + ".bak";
  return path;
}

void ApplyRulesToFile(CVarneloView& view, const std::vector<const TextMatcher*>& rules) {
  const std::string path = view.CurrentPath();
  if (path.empty()) {
    MessageBoxes().Show(&view, QStringLiteral("未打开小说！"), QString(), MessageButtons::Ok, MessageIcon::None);
    return;
  }
  if (view.EditMode()) return;
  if (rules.empty()) {
    Tell(view, QStringLiteral("没有启用的净化规则，书未改动。"));
    return;
  }
  // The file as it is now, read the way the book on screen was read. On a large book this
  // and finding the changes take seconds: off the window's thread, Esc cancels.
  std::string text;
  std::string file;
  BookForm form;
  LoadStatus status = LoadStatus::Ok;
  bool changedOnDisk = false;
  std::vector<TextSplice> splices;
  EncodedEdit cleaned;
  const WorkOutcome outcome = RunLongWork(&view, QStringLiteral("正在应用净化规则……"), [&](WorkControl& control) {
    status = ReadBook(path, view.Form().encoding, text, form, &file);
    if (status != LoadStatus::Ok || control.Cancelled()) return;
    std::string normalised = text;
    NormaliseBlankLines(normalised);
    changedOnDisk = normalised != view.Text();
    if (changedOnDisk || control.Cancelled()) return;
    splices = RuleSplices(text, rules, LineBreakOf(text, 0));
    if (splices.empty() || control.Cancelled()) return;
    cleaned = SpliceBook(file, form, text, splices);
  });
  if (outcome == WorkOutcome::Cancelled) return;
  if (status != LoadStatus::Ok) {
    Tell(view, QStringLiteral("警告！无法读取这本书，书未改动！\n") + QString::fromStdString(path));
    return;
  }
  if (changedOnDisk) {
    Tell(view, QStringLiteral("这本书的文件在打开后被改动过，书未改动。\n请重新打开它，再应用净化规则。"));
    return;
  }
  if (splices.empty()) {
    Tell(view, QStringLiteral("净化规则在这本书中没有找到要改的地方，书未改动。"), MessageIcon::Information);
    return;
  }
  if (!cleaned.file) {
    Tell(view, RefusedCharacterMessage(form.encoding, cleaned.refused));
    return;
  }
  const std::string backup = CleanBackupPath(path);
  const QString where = QString::fromStdString(backup);
  if (MessageBoxes().Show(&view,
                          QStringLiteral("把启用的净化规则应用到这本书的文件，将改动 %1 处。\n"
                                         "改动前的文件会保存为：\n%2\n要继续吗？")
                              .arg(splices.size())
                              .arg(where),
                          kCaption, MessageButtons::YesNo, MessageIcon::Question) != MessageResult::Yes)
    return;
  if (!WriteBookFile(&view, backup, file, QStringLiteral("书未改动"))) return;
  if (!WriteBookFile(&view, path, *cleaned.file, QStringLiteral("书未改动"))) return;
  // Read again; every kept place, and the text on top, moves through each change exactly.
  std::vector<TextShift> shifts;
  shifts.reserve(splices.size());
  for (const TextSplice& splice : splices) {
    shifts.push_back({static_cast<std::int64_t>(splice.begin), static_cast<std::int64_t>(splice.end - splice.begin),
                      static_cast<std::int64_t>(splice.bytes.size())});
  }
  const std::int64_t top = ShiftedOffset(TopOfPaneOffset(view), shifts);
  view.ExpectChanges(std::move(shifts));
  if (view.LoadText(path)) ShowOffset(view, std::min<std::int64_t>(top, static_cast<std::int64_t>(view.Text().size())));
  Tell(view,
       QStringLiteral("已把净化规则应用到文件，改动了 %1 处。\n改动前的文件保存在：\n%2")
           .arg(splices.size())
           .arg(where),
       MessageIcon::Information);
}

}  // namespace varnelo
