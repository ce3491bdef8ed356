#include "aids/settings_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

#include "aids/auto_scroll.h"
#include "aids/page_margins.h"
#include "aids/quotation_line.h"
#include "aids/scroll_steps.h"
#include "platform/services.h"
#include "platform/text_column.h"
#include "res/command_ids.h"
#include "store/config_schema.h"
#include "store/store_messages.h"
#include "text/book_engine.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

// Dialog units of the layout, 4 to an average character across and 8 to a line down.
constexpr int kDialogWidth = 270;
constexpr int kDialogHeight = 220;

const char* const kPresets[] = {"30", "3000", "30000"};

}  // namespace

CSettingsDlg::CSettingsDlg(QuoteSettings& quote, QWidget* parent, ConfigValues* reading)
    : QDialog(parent),
      quote_(quote),
      reading_(reading),
      // Off (0) is the third button; any flag outside 0 to 3 checks none.
      radioIndex_(quote.quoteMode == 0
                      ? 2
                      : static_cast<int>(std::clamp(quote.quoteMode - 1LL, -1LL, 3LL))),
      path_(quote.quotePath) {
  setWindowTitle(QStringLiteral("设置"));
  setObjectName(QStringLiteral("dialog160"));
  // A Chinese character is two average characters wide, as in the faces the layout was
  // drawn for; measure by it too, so no Chinese text is cut.
  const QFontMetricsF metrics(font());
  baseX_ = std::max(metrics.horizontalAdvance(QStringLiteral(
                        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0,
                    metrics.horizontalAdvance(QChar(0x4E2D)) / 2.0);
  baseY_ = metrics.height();
  BuildControls();
  OnInitDialog();
}

QRect CSettingsDlg::Units(int x, int y, int width, int height) const {
  auto across = [this](int units) { return static_cast<int>(std::lround(units * baseX_ / 4)); };
  auto down = [this](int units) { return static_cast<int>(std::lround(units * baseY_ / 8)); };
  return QRect(across(x), down(y), across(width), down(height));
}

void CSettingsDlg::BuildControls() {
  // Frames first, so they lie under the controls they hold.
  auto group = [this](const QString& title, QRect at) {
    auto* box = new QGroupBox(title, this);
    box->setGeometry(at);
  };
  group(QStringLiteral("名言警句设置"), Units(19, 7, 236, 98));
  group(QString(), Units(37, 44, 204, 38));
  group(QStringLiteral("自动滚屏设置"), Units(19, 111, 237, 68));

  // A text control is never narrower than its text.
  auto place = [](QWidget* widget, QRect at) {
    at.setWidth(std::max(at.width(), widget->sizeHint().width()));
    at.setHeight(std::max(at.height(), widget->sizeHint().height()));
    widget->setGeometry(at);
  };
  auto label = [this, &place](const QString& text, QRect at, const char* name = nullptr) {
    auto* widget = new QLabel(text, this);
    if (name != nullptr) widget->setObjectName(QLatin1String(name));
    place(widget, at);
    return widget;
  };

  interval_ = new QLineEdit(this);
  interval_->setObjectName(QStringLiteral("edit1048"));
  interval_->setAlignment(Qt::AlignCenter);
  interval_->setGeometry(Units(208, 126, 34, 14));

  radios_ = new QButtonGroup(this);
  builtIn_ = new QRadioButton(QStringLiteral("默认"), this);
  builtIn_->setObjectName(QStringLiteral("radio1029"));
  place(builtIn_, Units(28, 19, 56, 8));
  fromFile_ = new QRadioButton(QStringLiteral("自定义"), this);
  fromFile_->setObjectName(QStringLiteral("radio1030"));
  place(fromFile_, Units(28, 34, 86, 10));
  off_ = new QRadioButton(QStringLiteral("关闭"), this);
  off_->setObjectName(QStringLiteral("radio1031"));
  place(off_, Units(27, 88, 61, 11));
  radios_->addButton(builtIn_, 0);
  radios_->addButton(fromFile_, 1);
  radios_->addButton(off_, 2);

  QLabel* textLabel = label(QStringLiteral("文本内容"), Units(40, 54, 30, 12), "static1036");
  pathBox_ = new QLineEdit(this);
  pathBox_->setObjectName(QStringLiteral("edit1001"));
  pathBox_->setReadOnly(true);
  pathBox_->setGeometry(Units(77, 51, 119, 12));
  auto* browse = new QPushButton(QStringLiteral("浏览..."), this);
  browse->setObjectName(QStringLiteral("button1032"));
  browse->setAutoDefault(false);
  place(browse, Units(203, 50, 29, 13));
  scroll_ = new QCheckBox(QStringLiteral("滚动显示"), this);
  scroll_->setObjectName(QStringLiteral("check1037"));
  place(scroll_, Units(53, 70, 46, 10));
  loop_ = new QCheckBox(QStringLiteral("自动循环"), this);
  loop_->setObjectName(QStringLiteral("check1053"));
  place(loop_, Units(141, 70, 53, 9));
  fileSettings_ = {browse, loop_, textLabel, pathBox_, scroll_};

  label(QStringLiteral("滚屏方式"), Units(26, 129, 31, 8));
  rollType_ = new QComboBox(this);
  rollType_->setObjectName(QStringLiteral("combo1044"));
  rollType_->addItems({QStringLiteral("按像素滚屏"), QStringLiteral("按行滚屏"),
                       QStringLiteral("按页滚屏")});
  // A drop-down with its own edit box, which neither completes what is typed nor makes it
  // an item.
  rollType_->setEditable(true);
  rollType_->setInsertPolicy(QComboBox::NoInsert);
  rollType_->setCompleter(nullptr);
  place(rollType_, Units(65, 126, 68, 12));
  label(QStringLiteral("时间间隔[毫秒]"), Units(153, 129, 54, 8));
  label(QStringLiteral("提示：1.按像素滚屏时间间隔推荐范围在20-80，深色背景色闪烁小！"),
        Units(22, 147, 232, 12));
  label(QStringLiteral("2.当背景载入图片时，按像素滚屏闪烁厉害明显，以后改进！"),
        Units(44, 164, 202, 8));
  label(QStringLiteral("提醒时间间隔[分:]"), Units(17, 186, 65, 8));
  reminder_ = new QLineEdit(this);
  reminder_->setObjectName(QStringLiteral("edit1049"));
  reminder_->setGeometry(Units(90, 182, 28, 14));

  // Digits only, as the boxes take them.
  auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
  interval_->setValidator(digits);
  reminder_->setValidator(digits);

  // The reader's own options sit between the reminder and the buttons, which move down.
  const int buttonsAt = reading_ != nullptr ? BuildMarginControls(228) + 6 : 198;
  if (reading_ != nullptr) {
    returnToPlace_ = new QCheckBox(QStringLiteral("打开小说时回到上次阅读的位置"), this);
    returnToPlace_->setObjectName(QStringLiteral("checkReturnToPlace"));
    place(returnToPlace_, Units(17, 200, 150, 10));
    turnAtPageEnd_ = new QCheckBox(QStringLiteral("滚到页尾时自动翻页"), this);
    turnAtPageEnd_->setObjectName(QStringLiteral("checkTurnAtPageEnd"));
    place(turnAtPageEnd_, Units(17, 213, 150, 10));
  }
  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName(QStringLiteral("button1"));
  ok->setDefault(true);
  place(ok, Units(86, buttonsAt, 36, 14));
  auto* cancel = new QPushButton(QStringLiteral("取消"), this);
  cancel->setObjectName(QStringLiteral("button2"));
  cancel->setAutoDefault(false);
  place(cancel, Units(153, buttonsAt, 33, 14));

  const QRect whole = Units(0, 0, kDialogWidth, kDialogHeight);
  int right = whole.width();
  int bottom = whole.height();
  for (const QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    right = std::max(right, child->geometry().right() + 8);
    bottom = std::max(bottom, child->geometry().bottom() + 8);
  }
  setFixedSize(right, bottom);

  connect(browse, &QPushButton::clicked, this, &CSettingsDlg::Browse);
  connect(fromFile_, &QRadioButton::clicked, this, [this] {
    if (fromFile_->isChecked()) EnableFileSettings(true);
  });
  for (QRadioButton* other : {builtIn_, off_}) {
    connect(other, &QRadioButton::clicked, this, [this, other] {
      if (other->isChecked()) EnableFileSettings(false);
    });
  }
  // The user's choice only: the initial selection leaves the interval as stored.
  connect(rollType_, &QComboBox::activated, this, &CSettingsDlg::PresetInterval);
  connect(ok, &QPushButton::clicked, this, &CSettingsDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CSettingsDlg::reject);
}

int CSettingsDlg::BuildMarginControls(int top) {
  auto* box = new QGroupBox(QStringLiteral("页面边距"), this);
  box->setGeometry(Units(17, top, 239, 30));
  auto spin = [this](const char* name, int maximum, QRect at) {
    auto* widget = new QSpinBox(this);
    widget->setObjectName(QLatin1String(name));
    widget->setRange(0, maximum);
    at.setWidth(std::max(at.width(), widget->sizeHint().width()));
    widget->setGeometry(at);
    return widget;
  };
  auto label = [this](const QString& text, QRect at) {
    auto* widget = new QLabel(text, this);
    at.setWidth(std::max(at.width(), widget->sizeHint().width()));
    widget->setGeometry(at);
  };
  label(QStringLiteral("左右边距[像素]"), Units(24, top + 14, 56, 8));
  pageMargin_ = spin("spinPageMargin", kMaxPageMargin, Units(82, top + 12, 36, 12));
  label(QStringLiteral("最大行宽[字]"), Units(134, top + 14, 50, 8));
  maxLineChars_ = spin("spinMaxLineChars", kMaxLineCharsLimit, Units(186, top + 12, 36, 12));
  maxLineChars_->setSpecialValueText(QStringLiteral("不限"));
  maxLineChars_->setToolTip(QStringLiteral("每行最多的汉字数，0 为不限，文字居中"));
  return top + 30;
}

void CSettingsDlg::OnInitDialog() {
  // An index outside the three buttons checks none, as a damaged QuoteFlag does.
  if (QAbstractButton* chosen = radios_->button(radioIndex_)) chosen->setChecked(true);
  loop_->setChecked(quote_.loop != 0);
  scroll_->setChecked(quote_.scroll != 0);
  pathBox_->setText(QString::fromStdString(quote_.quotePath));
  EnableFileSettings(quote_.quoteMode == 2);
  rollType_->setCurrentIndex(quote_.rollType >= 0 && quote_.rollType < rollType_->count()
                                 ? quote_.rollType
                                 : -1);
  interval_->setText(QString::number(quote_.scrollInterval));
  reminder_->setText(QString::number(quote_.reminderMinutes));
  if (reading_ != nullptr) {
    returnToPlace_->setChecked(reading_->returnToPlace != 0);
    turnAtPageEnd_->setChecked(reading_->turnAtPageEnd != 0);
    pageMargin_->setValue(reading_->pageMargin);
    maxLineChars_->setValue(reading_->maxLineChars);
  }
  interval_->setFocus();
}

void CSettingsDlg::Browse() {
  const QString chosen = Dialogs().OpenFileName(this, QStringLiteral("打开小说或TXT文本"),
                                                QStringLiteral("ANSI文本(*.txt)"));
  if (chosen.isEmpty()) return;
  path_ = chosen.toStdString();
  pathBox_->setText(QString::fromStdString(FileNameOf(path_)));
}

void CSettingsDlg::EnableFileSettings(bool enable) {
  for (QWidget* control : fileSettings_) control->setEnabled(enable);
}

void CSettingsDlg::PresetInterval(int selection) {
  if (selection >= 0 && selection < static_cast<int>(std::size(kPresets)))
    interval_->setText(QLatin1String(kPresets[selection]));
}

void CSettingsDlg::accept() {
  if (builtIn_->isChecked()) quote_.quoteMode = 1;
  if (fromFile_->isChecked()) {
    quote_.quoteMode = 2;
    quote_.quotePath = path_;
    quote_.loop = loop_->isChecked() ? 1 : 0;
    quote_.scroll = scroll_->isChecked() ? 1 : 0;
  }
  if (off_->isChecked()) quote_.quoteMode = 0;
  quote_.scrollInterval = BoxNumber(interval_->text().toStdString());
  // The item the box shows; typed text that names none is no selection.
  quote_.rollType = rollType_->findText(rollType_->currentText(), Qt::MatchExactly);
  quote_.reminderMinutes = BoxNumber(reminder_->text().toStdString());
  if (reading_ != nullptr) {
    reading_->returnToPlace = returnToPlace_->isChecked() ? 1 : 0;
    reading_->turnAtPageEnd = turnAtPageEnd_->isChecked() ? 1 : 0;
    pageMargin_->interpretText();
    maxLineChars_->interpretText();
    reading_->pageMargin = pageMargin_->value();
    reading_->maxLineChars = maxLineChars_->value();
  }
  QDialog::accept();
}

ReadingSettings::ReadingSettings(CVarneloView& view, QuotationLine& quotation,
                                 AutoScroll& autoScroll)
    : view_(view), quotation_(quotation), autoScroll_(autoScroll) {
  view_.Commands().Add(cmd::kMoreSettings, [this](int) { Open(); });
}

// Written only when they differ from what Config.ini holds, so a reader who never sets them
// keeps a Config.ini without them.
void ReadingSettings::ApplyMarginChoice(ConfigValues& config, const std::string& path) {
  ConfigValues stored;
  ReadKey(stored, ConfigKey::PageMargin, path);
  ReadKey(stored, ConfigKey::MaxLineChars, path);
  const bool written =
      (stored.pageMargin == config.pageMargin || WriteKey(config, ConfigKey::PageMargin, path)) &&
      (stored.maxLineChars == config.maxLineChars || WriteKey(config, ConfigKey::MaxLineChars, path));
  if (!written) {
    MessageBoxes().Show(&view_, NotWrittenMessage(path, QStringLiteral("页面边距未保存")), QString(),
                        MessageButtons::Ok, MessageIcon::Exclamation);
  }
  ApplyPageMargins(view_);
}

void ReadingSettings::Open() {
  ConfigValues& config = view_.Settings().config;
  CSettingsDlg dialog(config.quote, &view_, &config);
  if (dialog.exec() != QDialog::Accepted) return;
  // These two are written when chosen: they are not part of the exit save.
  const std::string& path = view_.Store().SettingsPath();
  if (!WriteKey(config, ConfigKey::ReturnToPlace, path) || !WriteKey(config, ConfigKey::TurnAtPageEnd, path)) {
    MessageBoxes().Show(&view_, NotWrittenMessage(path, QStringLiteral("阅读选项未保存")), QString(),
                        MessageButtons::Ok, MessageIcon::Exclamation);
  }
  ApplyMarginChoice(config, path);
  quotation_.Start();
  autoScroll_.Arm();
}

}  // namespace varnelo
