#include "platform/services.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QSystemTrayIcon>
#include <QUrl>

#include "platform/face_names.h"
#include "platform/find_dialog.h"

namespace varnelo {

namespace {

class QtMessageBoxes : public MessageBoxService {
 public:
  MessageResult Show(QWidget* owner, const QString& text, const QString& caption,
                     MessageButtons buttons, MessageIcon icon) override {
    QMessageBox box(owner);
    box.setWindowTitle(caption.isEmpty() ? ApplicationTitle() : caption);
    box.setText(text);
    switch (icon) {
      case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
      case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
      case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
      case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
      case MessageIcon::Stop: box.setIcon(QMessageBox::Critical); break;
    }
    if (buttons == MessageButtons::YesNo) {
      box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
      QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
      box.setEscapeButton(no);
      box.exec();
      return box.clickedButton() == no ? MessageResult::No : MessageResult::Yes;
    }
    if (buttons == MessageButtons::OkCancel) {
      QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
      QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
      box.setEscapeButton(cancel);
      box.setDefaultButton(ok);
      box.exec();
      return box.clickedButton() == ok ? MessageResult::Ok : MessageResult::Cancel;
    }
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setEscapeButton(ok);
    box.exec();
    return MessageResult::Ok;
  }
};

// Qt's font dialog inside ours: its own ending (Enter in its lists) ends ours instead of
// hiding it and leaving an empty window, and the keys it would keep (Enter in the size
// box, Escape) go on to ours, whose default button is OK.
class EmbeddedFontDialog : public QFontDialog {
 public:
  explicit EmbeddedFontDialog(QDialog* outer) : QFontDialog(outer), outer_(outer) {
    setWindowFlags(Qt::Widget);
    setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    setSizeGripEnabled(false);
  }
  void done(int result) override { outer_->done(result); }
  void keyPressEvent(QKeyEvent* event) override { event->ignore(); }

 private:
  QDialog* outer_;
};

QString ChineseStyle(const QString& style) {
  return QString::fromStdString(ChineseStyleName(style.toStdString()));
}

// The style list shows Chinese names; the names the dialog chooses by stay the font's own.
class ChineseStyleDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QString displayText(const QVariant& value, const QLocale&) const override {
    return ChineseStyle(value.toString());
  }
};

// Qt's font dialog shows the font's own (English) style names and a Latin sample.
void ShowInChinese(QFontDialog& fonts) {
  // The family, style and size lists and boxes, in the order the dialog makes them.
  const QList<QListView*> lists = fonts.findChildren<QListView*>(Qt::FindDirectChildrenOnly);
  const QList<QLineEdit*> boxes = fonts.findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
  if (lists.size() == 3) lists[1]->setItemDelegate(new ChineseStyleDelegate(lists[1]));
  if (boxes.size() == 3) {
    QLineEdit* style = boxes[1];
    const auto show = [style](const QString& text) {
      if (const QString chinese = ChineseStyle(text); chinese != text) style->setText(chinese);
    };
    QObject::connect(style, &QLineEdit::textChanged, style, show);
    show(style->text());
  }
  if (auto* sample = fonts.findChild<QLineEdit*>(QStringLiteral("qt_fontDialog_sampleEdit")))
    sample->setText(QStringLiteral("中文字体示例 AaBbYyZz"));
}

// Filters come as the user reads them, "图片(*.jpg,*.bmp)", with ";;" between them. Qt
// takes the patterns from the last parentheses, separated by blanks only: each filter is
// given its patterns in a pair of its own, which the dialog keeps out of sight.
void SetNameFilters(QFileDialog& dialog, const QString& filter) {
  static const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
  static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
  QStringList filters;
  for (const QString& shown : filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
    const QRegularExpressionMatch match = patterns.match(shown);
    QStringList names =
        (match.hasMatch() ? match.captured(1) : shown).split(separators, Qt::SkipEmptyParts);
    if (names.isEmpty()) names << QStringLiteral("*");
    filters << shown + QStringLiteral(" (") + names.join(u' ') + u')';
  }
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(filters);
}

// Both dialogs open where the user last chose something in either of them, as the
// platform's own common dialogs do.
class QtDialogs : public DialogService {
 public:
  QString OpenFileName(QWidget* owner, const QString& title, const QString& filter) override {
    QFileDialog dialog(owner, title, lastFolder_);
    SetNameFilters(dialog, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // "*.txt" also lists BOOK.TXT: books come from systems that ignore letter case.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    const QString chosen = dialog.selectedFiles().constFirst();
    lastFolder_ = QFileInfo(chosen).absolutePath();
    return chosen;
  }

  QString FolderName(QWidget* owner, const QString& title) override {
    QFileDialog dialog(owner, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!lastFolder_.isEmpty()) {
      // Beside the last folder, with it selected, so its neighbours are one click away.
      const QFileInfo last(lastFolder_);
      dialog.setDirectory(last.isRoot() ? lastFolder_ : last.absolutePath());
      if (!last.isRoot()) dialog.selectFile(last.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    const QString chosen = QDir::cleanPath(dialog.selectedFiles().constFirst());
    lastFolder_ = chosen;
    return chosen;
  }

  QString SaveFileName(QWidget* owner, const QString& title, const QString& filter) override {
    QFileDialog dialog(owner, title);
    SetNameFilters(dialog, filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A bare name gets .txt before the dialog asks about replacing an existing file.
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
  }

  void OpenFindDialog(QWidget* owner, std::function<void(const FindRequest&)> onRequest) override {
    auto* dialog = new FindDialog(owner, std::move(onRequest));
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
  }

  // Qt's font dialog has no colour: it is embedded with a colour row below it.
  bool ChooseFont(QWidget* owner, FontChoice& choice) override {
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("字体"));
    auto* fonts = new EmbeddedFontDialog(&dialog);
    QFont initial(choice.face);
    if (choice.pixelHeight > 0) initial.setPixelSize(choice.pixelHeight);
    fonts->setCurrentFont(initial);
    ShowInChinese(*fonts);

    QColor colour = ColourFromValue(choice.colour);
    auto* swatch = new QLabel(&dialog);
    swatch->setFixedSize(48, 20);
    swatch->setFrameShape(QFrame::Box);
    auto paintSwatch = [swatch, &colour] {
      swatch->setStyleSheet(QStringLiteral("background-color: %1;").arg(colour.name()));
    };
    paintSwatch();
    auto* pick = new QPushButton(QStringLiteral("选择颜色(&C)..."), &dialog);
    QObject::connect(pick, &QPushButton::clicked, &dialog, [&] {
      const QColor picked = QColorDialog::getColor(colour, &dialog);
      if (picked.isValid()) {
        colour = picked;
        paintSwatch();
      }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(new QLabel(QStringLiteral("颜色："), &dialog));
    colourRow->addWidget(swatch);
    colourRow->addWidget(pick);
    colourRow->addStretch();
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(fonts);
    layout->addLayout(colourRow);
    layout->addWidget(buttons);

    if (dialog.exec() != QDialog::Accepted) return false;
    const QFont chosen = fonts->currentFont();
    choice.face = chosen.family();
    choice.pixelHeight = chosen.pixelSize() > 0
                             ? chosen.pixelSize()
                             : qRound(chosen.pointSizeF() * dialog.logicalDpiY() / 72.0);
    choice.colour = ValueOfColour(colour);
    return true;
  }

  bool ChooseColour(QWidget* owner, int& colour) override {
    QColorDialog dialog(ColourFromValue(colour), owner);
    if (dialog.exec() != QDialog::Accepted || !dialog.selectedColor().isValid()) return false;
    colour = ValueOfColour(dialog.selectedColor());
    return true;
  }

 private:
  static QColor ColourFromValue(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
  }
  static int ValueOfColour(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
  }

  QString lastFolder_;
};

class DesktopUrlOpener : public UrlOpenerService {
 public:
  UrlOpenResult OpenUrl(const QString& address) override {
    // The addresses come percent-encoded already; take them as they are.
    const QUrl url = QUrl::fromEncoded(address.toUtf8(), QUrl::StrictMode);
    if (!url.isValid()) return UrlOpenResult::LaunchFailed;
    if (QDesktopServices::openUrl(url)) return UrlOpenResult::Opened;
    // Qt says only that it failed. With the desktop's opener or a named browser on hand,
    // a program was there and did not start (an address too long for a command line).
    return HandlerOnHand() ? UrlOpenResult::LaunchFailed : UrlOpenResult::NoApplication;
  }

 private:
  static bool HandlerOnHand() {
    for (const char* variable : {"BROWSER", "DEFAULT_BROWSER"}) {
      const QString named = qEnvironmentVariable(variable).split(u':').value(0);
      if (!named.isEmpty() && !QStandardPaths::findExecutable(named).isEmpty()) return true;
    }
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
  }
};

class SystemTray : public TrayService {
 public:
  bool Available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
};

QtMessageBoxes gQtMessageBoxes;
QtDialogs gQtDialogs;
SystemClock gSystemClock;
DesktopUrlOpener gDesktopUrlOpener;
SystemTray gSystemTray;

}  // namespace

MessageBoxService*& MessageBoxSlot() {
  static MessageBoxService* current = &gQtMessageBoxes;
  return current;
}

DialogService*& DialogSlot() {
  static DialogService* current = &gQtDialogs;
  return current;
}

const Clock*& ClockSlot() {
  static const Clock* current = &gSystemClock;
  return current;
}

UrlOpenerService*& UrlOpenerSlot() {
  static UrlOpenerService* current = &gDesktopUrlOpener;
  return current;
}

const TrayService*& TraySlot() {
  static const TrayService* current = &gSystemTray;
  return current;
}

MessageBoxService& MessageBoxes() { return *MessageBoxSlot(); }
MessageBoxService& QtMessageBoxService() { return gQtMessageBoxes; }
DialogService& Dialogs() { return *DialogSlot(); }
DialogService& QtDialogService() { return gQtDialogs; }
const Clock& CurrentClock() { return *ClockSlot(); }
UrlOpenerService& UrlOpener() { return *UrlOpenerSlot(); }
const TrayService& Tray() { return *TraySlot(); }

static QString& ApplicationTitleSlot() {
  static QString title;
  return title;
}

QString ApplicationTitle() { return ApplicationTitleSlot(); }

void SetApplicationTitle(const QString& title) { ApplicationTitleSlot() = title; }

}  // namespace varnelo
