// The modeless find dialog: the text to find, whole word, match case and the direction.
// It stays open until closed, asks its owner for the next match on every "查找下一个",
// and deletes itself when it closes.
#pragma once

#include <QDialog>

#include <functional>

#include "platform/services.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace varnelo {

class FindDialog : public QDialog {
 public:
  FindDialog(QWidget* owner, std::function<void(const FindRequest&)> onRequest);

  QLineEdit* TextBox() const { return text_; }
  QPushButton* FindNextButton() const { return findNext_; }
  QCheckBox* WholeWordBox() const { return wholeWord_; }
  QCheckBox* MatchCaseBox() const { return matchCase_; }
  QRadioButton* UpButton() const { return up_; }

 protected:
  void done(int result) override;

 private:
  FindRequest Request() const;

  std::function<void(const FindRequest&)> onRequest_;
  QLineEdit* text_ = nullptr;
  QPushButton* findNext_ = nullptr;
  QCheckBox* wholeWord_ = nullptr;
  QCheckBox* matchCase_ = nullptr;
  QRadioButton* up_ = nullptr;
  QRadioButton* down_ = nullptr;
};

}  // namespace varnelo
