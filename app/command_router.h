// Command routing: the reading view first, then the document, the frame and the
// application. A command nobody handles is shown greyed and does nothing.
#pragma once

#include <utility>
#include <vector>

namespace varnelo {

struct CommandState {
  bool enabled = false;
  bool checkable = false;
  bool checked = false;
};

class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  // Whether this target has a handler for the command.
  virtual bool HandlesCommand(int id) const = 0;
  virtual void OnCommand(int id) = 0;
  // Update handler: called only for commands this target handles; `state` starts enabled.
  virtual void UpdateCommand(int id, CommandState& state) const {
    (void)id;
    (void)state;
  }
};

class CommandRouter {
 public:
  void SetChain(std::vector<CommandTarget*> chain) { chain_ = std::move(chain); }
  // Runs the command on the first target that handles it; false if none does.
  bool Execute(int id) const;
  CommandState StateOf(int id) const;

 private:
  std::vector<CommandTarget*> chain_;
};

}  // namespace varnelo
