#include "app/varnelo_doc.h"

#include "platform/regular_file.h"

namespace varnelo {

// A FIFO or a device named on the command line would block the start: only a regular
// file that opens counts as readable.
bool CVarneloDoc::OnOpenDocument(const std::string& path) {
  return RegularFile::Open(path).Status() == OpenStatus::Ok;
}

}  // namespace varnelo
