// What the user is told when Config.ini cannot be written (a read-only folder, a full
// disk): the file, and what was therefore not kept.
#pragma once

#include <QString>

#include <string>

namespace varnelo {

// "无法写入设置文件 /path/Config.ini，书签未添加！"
QString NotWrittenMessage(const std::string& settingsPath, const QString& whatWasLost);

}  // namespace varnelo
