#include "app/varnelo_doc.h"

#include <cstdio>

namespace varnelo {

bool CVarneloDoc::OnOpenDocument(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace varnelo
