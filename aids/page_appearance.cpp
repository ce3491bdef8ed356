#include "aids/page_appearance.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>

#include <algorithm>
#include <filesystem>

#include "aids/appearance_steps.h"
#include "aids/background_picture.h"
#include "platform/installed_face.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "store/config_schema.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

constexpr int kQuoteTextColour = 0x00F8833D;
// The largest character height taken from the font dialog: the largest size the reader
// lays out in good time (a larger choice gives this one).
constexpr int kLargestChosenHeight = kHighestFontSize / 20;

}  // namespace

PageAppearance::PageAppearance(CVarneloView& view)
    : view_(view), picture_(new CBackgroundPicture(*view.Pane())) {
  RegisterCommands();
}

void PageAppearance::RegisterCommands() {
  CommandMap& commands = view_.Commands();
  commands.Add(cmd::kNightMode, [this](int) { ToggleNightMode(); },
               [this](int, CommandState& state) {
                 state.checkable = true;
                 state.checked = view_.Appearance().night;
               });
  commands.Add(cmd::kFont, [this](int) { ChooseFont(); });
  commands.Add(cmd::kDefaultBackground, [this](int) { UseDefaultBackground(); });
  commands.Add(cmd::kOtherColour, [this](int) { ChooseOtherColour(); });
  commands.Add(cmd::kPictureBackground, [this](int) { ChoosePicture(); });

  const struct {
    int id;
    int value;
  } spacings[] = {{cmd::kSpacing100, 100}, {cmd::kSpacing150, 150}, {cmd::kSpacing200, 200},
                  {cmd::kSpacing250, 250}, {cmd::kSpacing300, 300}},
    sizes[] = {{cmd::kSizeSmall, 280}, {cmd::kSizeMedium, 320}, {cmd::kSizeLarge, 360}};
  for (const auto& entry : spacings) {
    commands.Add(entry.id, [this, value = entry.value](int) { SetLineSpacing(value); });
  }
  for (const auto& entry : sizes) {
    commands.Add(entry.id, [this, value = entry.value](int) { SetFontSize(value); });
  }

  commands.Add(cmd::kSmallerFont,
               [this](int) { SetFontSize(SmallerFontSize(view_.Appearance().fontSize)); });
  commands.Add(cmd::kLargerFont,
               [this](int) { SetFontSize(LargerFontSize(view_.Appearance().fontSize)); });
  commands.Add(cmd::kNarrowerSpacing, [this](int) {
    SetLineSpacing(NarrowerLineSpacing(view_.Appearance().lineSpacing));
  });
  commands.Add(cmd::kWiderSpacing,
               [this](int) { SetLineSpacing(WiderLineSpacing(view_.Appearance().lineSpacing)); });
}

// Format first, then the picture, then night mode, which may hide the picture again.
void PageAppearance::OnStartup(StartupStep step) {
  if (step != StartupStep::AppearanceLoaded) return;
  TextAppearance& appearance = view_.Appearance();
  const bool night = appearance.night;
  appearance.night = false;
  view_.ApplyCharFormat();
  StartPicture(view_.Settings().config.picturePath);
  if (night) ToggleNightMode();
  ApplyControlColours();
}

// A picture that is gone or no longer decodes is forgotten, as if none had been chosen.
void PageAppearance::StartPicture(const std::string& path) {
  view_.Pane()->SetBackgroundColour(ColourOf(view_.Appearance().backgroundColour));
  std::error_code error;
  if (!path.empty() && std::filesystem::is_regular_file(path, error) &&
      picture_->Load(QString::fromStdString(path)) == CBackgroundPicture::LoadResult::Loaded) {
    picturePath_ = path;
  } else {
    picturePath_.clear();
  }
  picture_->SetShown(!picturePath_.empty());
}

void PageAppearance::ToggleNightMode() {
  TextAppearance& appearance = view_.Appearance();
  appearance.night = !appearance.night;
  ApplyBackground();
  view_.ApplyCharFormat();
}

// Night mode darkens the pane and hides the picture without forgetting either.
void PageAppearance::ApplyBackground() {
  const TextAppearance& appearance = view_.Appearance();
  if (appearance.night) {
    picture_->SetShown(false);
    view_.Pane()->SetBackgroundColour(ColourOf(kNightBackground));
  } else if (!picturePath_.empty()) {
    picture_->SetShown(true);
  } else {
    view_.Pane()->SetBackgroundColour(ColourOf(appearance.backgroundColour));
  }
}

// A colour chosen in night mode shows at once; the night flag and the text stay.
void PageAppearance::ShowPlainColour(int colour) {
  view_.Appearance().backgroundColour = colour;
  picturePath_.clear();
  picture_->SetShown(false);
  view_.Pane()->SetBackgroundColour(ColourOf(colour));
  view_.RecordReadingState();
}

void PageAppearance::UseDefaultBackground() { ShowPlainColour(kDefaultBackground); }

void PageAppearance::ChooseOtherColour() {
  int colour = 0;
  if (Dialogs().ChooseColour(&view_, colour)) ShowPlainColour(colour);
}

void PageAppearance::ChooseFont() {
  TextAppearance& appearance = view_.Appearance();
  const QString shownFace = InstalledFace(appearance.face);
  const int offeredHeight = appearance.fontSize / 20;
  FontChoice choice{shownFace, offeredHeight, appearance.textColour};
  if (!Dialogs().ChooseFont(&view_, choice)) return;
  // Accepting the face that stands in for a Windows name keeps the name the user had.
  if (choice.face.compare(shownFace, Qt::CaseInsensitive) != 0) {
    appearance.face = choice.face.toStdString();
  }
  appearance.textColour = choice.colour;
  // The size is kept when its height is: the dialog's heights are coarser than the sizes.
  if (choice.pixelHeight != offeredHeight && choice.pixelHeight > 0) {
    appearance.fontSize = 20 * std::min(choice.pixelHeight, kLargestChosenHeight);
  }
  view_.ApplyCharFormat();
}

// A picture that cannot be shown changes nothing: the previous picture, its path and the
// pane stay as they were, and no path is recorded for it.
void PageAppearance::ChoosePicture() {
  const QString chosen = Dialogs().OpenFileName(
      &view_, QStringLiteral("打开图片文件"),
      QStringLiteral("常见格式图片(*.jpg,*.bmp,*.jpeg,*.png)"));
  if (chosen.isEmpty()) return;
  switch (picture_->Load(chosen)) {
    case CBackgroundPicture::LoadResult::Loaded:
      break;
    case CBackgroundPicture::LoadResult::CannotOpen:
      MessageBoxes().Show(&view_, QStringLiteral("无法打开图片文件：\n") + chosen, QString(),
                          MessageButtons::Ok, MessageIcon::Exclamation);
      return;
    case CBackgroundPicture::LoadResult::CannotDecode:
      MessageBoxes().Show(&view_,
                          QStringLiteral("无法显示图片，文件已损坏或不是支持的图片格式：\n") + chosen,
                          QString(), MessageButtons::Ok, MessageIcon::Exclamation);
      return;
  }
  // Night mode is not consulted: the chosen picture shows at once.
  picturePath_ = chosen.toStdString();
  picture_->SetShown(true);
}

void PageAppearance::SetFontSize(int size) {
  view_.Appearance().fontSize = size;
  view_.ApplyCharFormat();
}

void PageAppearance::SetLineSpacing(int spacing) {
  view_.Appearance().lineSpacing = spacing;
  view_.ApplyCharFormat();
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
