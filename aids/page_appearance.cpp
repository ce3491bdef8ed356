#include "aids/page_appearance.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>

#include "res/command_ids.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

constexpr int kQuoteTextColour = 0x00F8833D;

}  // namespace

PageAppearance::PageAppearance(CVarneloView& view) : view_(view) {
  view_.Commands().Add(cmd::kNightMode, [this](int) { ToggleNightMode(); },
                       [this](int, CommandState& state) {
                         state.checkable = true;
                         state.checked = view_.Appearance().night;
                       });
}

void PageAppearance::OnStartup(StartupStep step) {
  if (step != StartupStep::AppearanceLoaded) return;
  view_.ApplyCharFormat();
  ApplyBackground();
  ApplyControlColours();
}

void PageAppearance::ToggleNightMode() {
  TextAppearance& appearance = view_.Appearance();
  appearance.night = !appearance.night;
  ApplyBackground();
  view_.ApplyCharFormat();
}

// Night mode darkens the pane without forgetting the chosen background.
void PageAppearance::ApplyBackground() {
  const TextAppearance& appearance = view_.Appearance();
  view_.Pane()->SetBackgroundColour(
      ColourOf(appearance.night ? kNightBackground : appearance.backgroundColour));
}

// These stay the same in night mode.
void PageAppearance::ApplyControlColours() {
  for (QWidget* control : {static_cast<QWidget*>(view_.LibraryList()),
                           static_cast<QWidget*>(view_.PageNumberBox())}) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, ColourOf(kDefaultBackground));
    control->setPalette(palette);
  }
  QPalette quote = view_.QuoteLine()->palette();
  quote.setColor(QPalette::WindowText, ColourOf(kQuoteTextColour));
  view_.QuoteLine()->setPalette(quote);
}

}  // namespace varnelo
