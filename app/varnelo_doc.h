// CVarneloDoc: the document of the single-document window. It holds no data: the book
// lives in the reading view. Opening a document only checks that the file can be read.
#pragma once

#include <string>

#include "platform/command_router.h"

namespace varnelo {

class CVarneloDoc : public CommandTarget {
 public:
  bool OnNewDocument() { return true; }
  // Opens the file for reading and closes it again; false if it cannot be read.
  bool OnOpenDocument(const std::string& path);

  bool HandlesCommand(int) const override { return false; }
  void OnCommand(int) override {}
};

}  // namespace varnelo
