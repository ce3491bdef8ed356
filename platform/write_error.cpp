#include "platform/write_error.h"

#include <cerrno>
#include <system_error>

namespace varnelo {

std::string WriteErrorReason(int errorNumber) {
  switch (errorNumber) {
    case EACCES:
    case EPERM:
      return "没有写入这个文件或文件夹的权限";
    case ENOSPC:
    case EDQUOT:
      return "磁盘已满（或磁盘配额已用完）";
    case EROFS:
      return "文件所在的磁盘是只读的";
    case ENOENT:
      return "文件或它所在的文件夹不存在";
    default:
      return "写入时出错：" + std::generic_category().message(errorNumber);
  }
}

}  // namespace varnelo
