// CAboutDlg: the About box. The program's notes on its latest changes and its keys, the
// coloured notice line, and the project's details with its mail and web links.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;

namespace varnelo {

class CLinkLabel;

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr QRgb kNoticeColour = 0xFF3D83F8;  // RGB(61, 131, 248)

  explicit CAboutDlg(QWidget* parent = nullptr);

  // The usage notes, each line ended by CR LF as they were always kept.
  const QString& UsageText() const { return usageText_; }
  CLinkLabel* MailLink() const { return mailLink_; }
  CLinkLabel* WebLink() const { return webLink_; }

 private:
  void OnInitDialog();

  CLinkLabel* mailLink_ = nullptr;
  CLinkLabel* webLink_ = nullptr;
  QString usageText_;
  QPlainTextEdit* usage_ = nullptr;
  QLabel* name_ = nullptr;
};

}  // namespace varnelo
