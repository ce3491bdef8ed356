#include "app/sync/cloud_shelf.h"

#include <filesystem>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/sync/sync_local.h"

namespace varnelo::sync {

QString ShelfName(const QString& title, const std::string& key) {
  QString clean = title;
  // '~' parts the title from the key; '/' and '\' would make folders.
  for (QChar& c : clean) {
    if (c == QLatin1Char('~') || c == QLatin1Char('/') || c == QLatin1Char('\\')) c = QLatin1Char('_');
  }
  if (clean.isEmpty()) clean = QStringLiteral("书");
  return clean + QLatin1Char('~') + QString::fromStdString(key) + QStringLiteral(".txt");
}

bool ParseShelfName(const QString& name, QString& title, std::string& key) {
  if (!name.endsWith(QStringLiteral(".txt")) || name.contains(QLatin1Char('/'))) return false;
  const qsizetype tilde = name.lastIndexOf(QLatin1Char('~'));
  if (tilde <= 0) return false;
  const QString found = name.mid(tilde + 1, name.size() - tilde - 1 - 4);
  // "<16 hex digits>-<characters>"
  const qsizetype dash = found.indexOf(QLatin1Char('-'));
  bool number = false;
  found.mid(dash + 1).toLongLong(&number);
  if (dash != 16 || !number) return false;
  for (qsizetype k = 0; k < 16; ++k) {
    if (!isxdigit(found[k].toLatin1())) return false;
  }
  title = name.left(tilde);
  key = found.toStdString();
  return true;
}

QString SizeText(qint64 bytes) {
  if (bytes < 0) return QString();
  if (bytes < 1024 * 1024) return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
  return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QString ReadToText(const std::string& settingsFolder, const std::string& key) {
  const LocalState state =
      LoadLocal((std::filesystem::path(settingsFolder) / "Sync" / (key + ".state")).string());
  const auto place = state.doc.items.find(kPlace);
  const qsizetype dash = QString::fromStdString(key).indexOf(QLatin1Char('-'));
  if (place == state.doc.items.end() || dash < 0) return QString();
  bool ok = false;
  const qint64 characters = QString::fromStdString(key).mid(dash + 1).toLongLong(&ok);
  const qint64 at = QString::fromStdString(place->second.value).toLongLong();
  if (!ok || characters <= 0 || at < 0) return QString();
  return QStringLiteral("读到 %1%").arg(std::min<qint64>(100, at * 100 / characters));
}

CloudShelfDialog::CloudShelfDialog(const QList<ShelfBook>& books, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("云书架"));
  auto* layout = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("shelfList"));
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({QStringLiteral("书名"), QStringLiteral("大小"), QStringLiteral("读到")});
  for (const ShelfBook& book : books) {
    list_->addTopLevelItem(new QTreeWidgetItem(QStringList{book.title, SizeText(book.size), book.readTo}));
  }
  list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  if (!books.isEmpty()) list_->setCurrentItem(list_->topLevelItem(0));
  layout->addWidget(books.isEmpty() ? static_cast<QWidget*>(new QLabel(QStringLiteral("服务器的书架上还没有书。打开“同步”设置里的“把读过的书也放到服务器的书架上”，读过的书就会传上去。"), this))
                                    : list_);
  if (books.isEmpty()) list_->hide();
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* take = buttons->addButton(QStringLiteral("下载并打开"), QDialogButtonBox::AcceptRole);
  take->setObjectName(QStringLiteral("shelfTake"));
  take->setEnabled(!books.isEmpty());
  buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
  layout->addWidget(buttons);
  resize(560, 380);
}

int CloudShelfDialog::Chosen() const {
  QTreeWidgetItem* item = list_->currentItem();
  return item == nullptr ? -1 : list_->indexOfTopLevelItem(item);
}

}  // namespace varnelo::sync
