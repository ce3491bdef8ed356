// What the user is told when Config.ini cannot be written (a read-only folder, a full
// disk): the file, and what was therefore not kept; or when it cannot be read at start.
#pragma once

#include <QString>

#include <string>

namespace varnelo {

// "无法写入设置文件 /path/Config.ini，书签未添加！"
QString NotWrittenMessage(const std::string& settingsPath, const QString& whatWasLost);

// "无法读取设置文件 /path/Config.ini，本次使用默认设置，退出时不会改动它！"
QString NotReadMessage(const std::string& settingsPath);

}  // namespace varnelo
