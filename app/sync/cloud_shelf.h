// 云书架: book files kept on the server in a 书架 folder beside the sync documents (off by
// default), so a book begun on one computer can be fetched on another. A book goes up once,
// known by its text's key; it is read from disk as it goes and comes down into a temporary
// file that is renamed only when whole.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include <string>

class QTreeWidget;

namespace varnelo::sync {

inline constexpr char kShelfFolder[] = "书架";

// "<title>~<key>.txt": the title for people, the key to know the book again.
QString ShelfName(const QString& title, const std::string& key);
// False for a file that is not a shelf book.
bool ParseShelfName(const QString& name, QString& title, std::string& key);

struct ShelfBook {
  QString name;   // on the server
  QString title;
  std::string key;
  qint64 size = -1;
  QString readTo;  // "读到 37%", empty when not known
};

// "12.3 MB", "845 KB"
QString SizeText(qint64 bytes);
// How far the book was read, from the place this computer last synced; empty when unknown.
QString ReadToText(const std::string& settingsFolder, const std::string& key);

// The server's books: title, size and where read to; "下载并打开" takes the chosen one.
class CloudShelfDialog : public QDialog {
  Q_OBJECT
 public:
  CloudShelfDialog(const QList<ShelfBook>& books, QWidget* parent);
  int Chosen() const;

 private:
  QTreeWidget* list_;
};

}  // namespace varnelo::sync
