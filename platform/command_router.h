// Command routing: the reading view first, then the document, the frame and the
// application. A command nobody handles is shown greyed and does nothing.
#pragma once

#include <functional>
#include <map>
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

// A target's table of handlers: each concern registers the commands it handles, with an
// optional update handler, instead of the target growing a switch per command.
class CommandMap : public CommandTarget {
 public:
  using Run = std::function<void(int id)>;
  using Update = std::function<void(int id, CommandState& state)>;

  void Add(int id, Run run, Update update = {});
  void AddRange(int first, int last, const Run& run, const Update& update = {});

  bool HandlesCommand(int id) const override;
  void OnCommand(int id) override;
  void UpdateCommand(int id, CommandState& state) const override;

 private:
  struct Handler {
    Run run;
    Update update;
  };
  std::map<int, Handler> handlers_;
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
