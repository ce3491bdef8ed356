// "简繁转换" (menu "界面"): the page shown in simplified or traditional characters. The book,
// its pages, word count, bookmarks and chapter rules keep the book's own characters; only
// the pane's text is converted, once per page while the page stays in a small cache. Edit
// mode pauses it, so the pane being edited (and so any save) holds the book's characters.
#pragma once

#include <QString>

#include <list>
#include <optional>
#include <vector>

#include "aids/text_conversion.h"
#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

class TextConversion : public ViewPart {
 public:
  explicit TextConversion(CVarneloView& view);

  void OnStartup(StartupStep step) override;
  void OnBookLeaving() override { cache_.clear(); }
  void OnPageText(int page, QString& text) override;
  void OnEditModeChanged(bool on) override;

  // Shows the page in the mode's characters from now on, and keeps the choice.
  void Choose(ConvertMode mode);
  ConvertMode Mode() const { return mode_; }
  // Any text of the book as the pane shows it now.
  QString Shown(const QString& text);
  // Words typed to be found in the book: as typed and, while the page is converted, also
  // converted the other way (the book may hold either form). No repeats.
  std::vector<QString> BookForms(const QString& words);
  // How many times a page was really converted (not taken from the cache).
  int Conversions() const { return conversions_; }

 private:
  bool Active() const;
  // Puts the page in the pane again at the same place, in the form now due.
  void ShowAgain();
  void TellUnavailable();
  // The page in `mode`'s characters, from the cache or converted now; nothing when OpenCC
  // failed or the conversion was cancelled.
  std::optional<QString> Converted(ConvertMode mode, int page, const QString& source);

  struct Cached {
    ConvertMode mode;
    int page;
    QString source;
    QString converted;
  };

  CVarneloView& view_;
  ChineseConverter converter_;
  ConvertMode mode_ = ConvertMode::None;
  std::list<Cached> cache_;  // the most recent first
  int conversions_ = 0;
  bool toldUnavailable_ = false;
  bool cancelled_ = false;  // a page's conversion was cancelled
};

}  // namespace varnelo
