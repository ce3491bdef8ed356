#include "store/store_messages.h"

namespace varnelo {

QString NotWrittenMessage(const std::string& settingsPath, const QString& whatWasLost) {
  return QStringLiteral("无法写入设置文件 %1，%2！")
      .arg(QString::fromStdString(settingsPath), whatWasLost);
}

}  // namespace varnelo
