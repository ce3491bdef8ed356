// The view's reading-time bookkeeping: which record the book on screen has, and the
// reading period that runs while a tracked book is open.
#include <algorithm>

#include "platform/services.h"
#include "store/bookmark_format.h"
#include "store/read_record_format.h"
#include "store/store_messages.h"
#include "text/varnelo_view.h"

namespace varnelo {

void CVarneloView::FindReadRecord() {
  const std::string& name = settings_.book.fileName;
  if (name.empty()) return;
  store_.LoadReadRecords();
  recordTracked_ = false;
  for (int i = 0; i < store_.ReadRecordCount(); ++i) {
    if (store_.ReadRecord(i).name == name) {
      recordTracked_ = true;
      recordNumber_ = i + 1;
      return;
    }
  }
}

void CVarneloView::AddReadRecord() {
  const std::string name = FileNameOf(currentPath_);
  if (name.empty()) return;
  store_.LoadReadRecords();
  const int n = store_.ReadRecordCount();
  for (int i = 0; i < n; ++i) {
    if (store_.ReadRecord(i).name == name) {
      recordNumber_ = i + 1;
      MessageBoxes().Show(this, QStringLiteral("提示！记录已存在！快捷键 F3 查看！"), QString(),
                          MessageButtons::Ok, MessageIcon::Exclamation);
      return;
    }
  }
  const std::time_t now = CurrentClock().Now();
  if (!store_.SaveReadRecord(n + 1, n + 1, name, kRecordBlank, RecordTime(now), kRecordBlank)) {
    MessageBoxes().Show(this, NotWrittenMessage(store_.SettingsPath(), QStringLiteral("阅读记录未添加")),
                        QString(), MessageButtons::Ok, MessageIcon::Exclamation);
    return;
  }
  recordTracked_ = true;
  recordNumber_ = n + 1;
  periodStart_ = now;
  store_.LoadReadRecords();
  MessageBoxes().Show(this, QStringLiteral("已加入阅读时间记录！快捷键 F3 查看！"), QString(),
                      MessageButtons::Ok, MessageIcon::Exclamation);
}

bool CVarneloView::UpdateReadRecord() {
  FindReadRecord();
  if (periodStart_ <= 0 || recordNumber_ == 0 || !recordTracked_) return true;
  const std::time_t now = CurrentClock().Now();
  const RecordFields record = store_.ReadRecord(recordNumber_ - 1);
  // A clock set back ends the period without taking time off the total.
  const std::int64_t elapsed = std::max<std::int64_t>(0, now - periodStart_);
  periodStart_ = 0;
  return store_.SaveReadRecord(store_.ReadRecordCount(), recordNumber_, record.name,
                               std::to_string(LeadingNumber(record.total) + elapsed),
                               record.first, RecordTime(now));
}

void CVarneloView::ResumeReadingPeriod() {
  FindReadRecord();
  if (periodStart_ == 0 && recordTracked_ && recordNumber_ != 0)
    periodStart_ = CurrentClock().Now();
}

}  // namespace varnelo
