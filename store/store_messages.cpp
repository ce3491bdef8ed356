#include "store/store_messages.h"

namespace varnelo {

QString NotWrittenMessage(const std::string& settingsPath, const QString& whatWasLost) {
  return QStringLiteral("无法写入设置文件 %1，%2！")
      .arg(QString::fromStdString(settingsPath), whatWasLost);
}

QString NotReadMessage(const std::string& settingsPath) {
  return QStringLiteral("无法读取设置文件 %1，本次使用默认设置，退出时不会改动它！")
      .arg(QString::fromStdString(settingsPath));
}

}  // namespace varnelo
