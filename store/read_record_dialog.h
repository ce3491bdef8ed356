// CReadRecordDlg: "小说阅读时间记录", the list of reading-time records with the two delete
// buttons. It works on Config.ini directly through a store of its own.
#pragma once

#include <QDialog>

#include <string>

#include "store/config_store.h"

class QPushButton;
class QTableWidget;

namespace varnelo {

class CReadRecordDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CReadRecordDlg(const std::string& settingsPath, QWidget* parent = nullptr);

  QTableWidget* RecordList() const { return list_; }

 private:
  void FillRecordList();
  void OnDeleteSelectedRecord();
  void OnDeleteAllRecords();
  void ShowMessage(const QString& text);

  CConfigStore store_;
  QTableWidget* list_ = nullptr;
  QPushButton* deleteSelected_ = nullptr;
  QPushButton* deleteAll_ = nullptr;
};

}  // namespace varnelo
