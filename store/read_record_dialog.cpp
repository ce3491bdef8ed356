#include "store/read_record_dialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include "platform/services.h"
#include "store/store_messages.h"

namespace varnelo {

namespace {

// The template's layout is in dialog units: a quarter of the font's average letter width
// across, an eighth of its height down.
class DialogUnits {
 public:
  explicit DialogUnits(const QFontMetrics& metrics)
      : baseX_((metrics.horizontalAdvance(QStringLiteral(
                    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2),
        baseY_(metrics.height()) {}
  QRect Rect(int x, int y, int width, int height) const {
    return QRect(x * baseX_ / 4, y * baseY_ / 8, width * baseX_ / 4, height * baseY_ / 8);
  }

 private:
  int baseX_;
  int baseY_;
};

struct Column {
  const char* header;
  int width;
};
constexpr Column kColumns[] = {
    {"No.", 40}, {"小说名称", 150}, {"阅读时间总计", 150}, {"首次阅读时间", 200}, {"上次阅读时间", 200}};

}  // namespace

CReadRecordDlg::CReadRecordDlg(const std::string& settingsPath, QWidget* parent)
    : QDialog(parent) {
  store_.SetSettingsPath(settingsPath);
  setWindowTitle(QStringLiteral("小说阅读时间记录"));
  setFont(QFont(QStringLiteral("黑体"), 10));
  const DialogUnits units(fontMetrics());
  setFixedSize(units.Rect(0, 0, 451, 221).size());

  list_ = new QTableWidget(this);
  list_->setObjectName(QStringLiteral("list1041"));
  list_->setGeometry(units.Rect(7, 7, 437, 187));
  list_->setColumnCount(static_cast<int>(std::size(kColumns)));
  for (int c = 0; c < list_->columnCount(); ++c) {
    auto* header = new QTableWidgetItem(QString::fromUtf8(kColumns[c].header));
    header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->setHorizontalHeaderItem(c, header);
    list_->setColumnWidth(c, kColumns[c].width);
  }
  list_->verticalHeader()->hide();
  list_->setShowGrid(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setWordWrap(false);

  deleteSelected_ = new QPushButton(QStringLiteral("删除选中项记录"), this);
  deleteSelected_->setObjectName(QStringLiteral("button1042"));
  deleteSelected_->setGeometry(units.Rect(158, 200, 66, 14));
  deleteAll_ = new QPushButton(QStringLiteral("删除全部记录"), this);
  deleteAll_->setObjectName(QStringLiteral("button1043"));
  deleteAll_->setGeometry(units.Rect(246, 200, 62, 14));
  for (QPushButton* button : {deleteSelected_, deleteAll_}) button->setAutoDefault(false);
  connect(deleteSelected_, &QPushButton::clicked, this, [this] { OnDeleteSelectedRecord(); });
  connect(deleteAll_, &QPushButton::clicked, this, [this] { OnDeleteAllRecords(); });

  FillRecordList();
}

void CReadRecordDlg::FillRecordList() {
  store_.LoadReadRecords();
  list_->clearSelection();
  list_->setRowCount(store_.ReadRecordCount());
  for (int i = 0; i < store_.ReadRecordCount(); ++i) {
    const RecordFields& record = store_.ReadRecord(i);
    const QString texts[] = {QString::number(i + 1), QString::fromStdString(record.name),
                             QString::fromStdString(DurationText(LeadingNumber(record.total))),
                             QString::fromStdString(record.first),
                             QString::fromStdString(record.last)};
    for (int c = 0; c < static_cast<int>(std::size(texts)); ++c) {
      list_->setItem(i, c, new QTableWidgetItem(texts[c]));
    }
  }
}

void CReadRecordDlg::ShowMessage(const QString& text) {
  MessageBoxes().Show(this, text, QString(), MessageButtons::Ok, MessageIcon::Exclamation);
}

// The row chosen by click or by keys alike: deleting must take the row the user sees marked.
void CReadRecordDlg::OnDeleteSelectedRecord() {
  const QList<QTableWidgetSelectionRange> ranges = list_->selectedRanges();
  const int selection = ranges.isEmpty() ? -1 : ranges.front().topRow();
  if (selection == -1) {
    ShowMessage(QStringLiteral("请选择要删除的记录！"));
    return;
  }
  if (store_.ReadRecordCount() == 0) {
    ShowMessage(QStringLiteral("数据为空！"));
    return;
  }
  if (!store_.DeleteReadRecord(selection)) {
    ShowMessage(NotWrittenMessage(store_.SettingsPath(), QStringLiteral("记录未删除")));
  }
  FillRecordList();
}

void CReadRecordDlg::OnDeleteAllRecords() {
  if (MessageBoxes().Show(this, QStringLiteral("警告！确认是否删除所有阅读时间记录？"), QString(),
                          MessageButtons::OkCancel, MessageIcon::Exclamation) != MessageResult::Ok) {
    return;
  }
  if (!store_.DeleteAllReadRecords()) {
    ShowMessage(NotWrittenMessage(store_.SettingsPath(), QStringLiteral("记录未删除")));
  }
  FillRecordList();
}

}  // namespace varnelo
