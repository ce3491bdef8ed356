#include "platform/services.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

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
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setEscapeButton(ok);
    box.exec();
    return MessageResult::Ok;
  }
};

class QtDialogs : public DialogService {
 public:
  QString OpenFileName(QWidget* owner, const QString& title, const QString& filter) override {
    QFileDialog dialog(owner, title, QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // "*.txt" also lists BOOK.TXT: books come from systems that ignore letter case.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
  }

  QString SaveFileName(QWidget* owner, const QString& title, const QString& filter) override {
    QFileDialog dialog(owner, title, QString(), filter);
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
};

QtMessageBoxes gQtMessageBoxes;
QtDialogs gQtDialogs;
SystemClock gSystemClock;

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

MessageBoxService& MessageBoxes() { return *MessageBoxSlot(); }
MessageBoxService& QtMessageBoxService() { return gQtMessageBoxes; }
DialogService& Dialogs() { return *DialogSlot(); }
const Clock& CurrentClock() { return *ClockSlot(); }

static QString& ApplicationTitleSlot() {
  static QString title;
  return title;
}

QString ApplicationTitle() { return ApplicationTitleSlot(); }

void SetApplicationTitle(const QString& title) { ApplicationTitleSlot() = title; }

}  // namespace varnelo
