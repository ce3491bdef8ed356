#include "app/command_router.h"

namespace varnelo {

bool CommandRouter::Execute(int id) const {
  for (CommandTarget* target : chain_) {
    if (target != nullptr && target->HandlesCommand(id)) {
      if (!StateOf(id).enabled) return false;
      target->OnCommand(id);
      return true;
    }
  }
  return false;
}

CommandState CommandRouter::StateOf(int id) const {
  CommandState state;
  for (const CommandTarget* target : chain_) {
    if (target != nullptr && target->HandlesCommand(id)) {
      state.enabled = true;
      target->UpdateCommand(id, state);
      return state;
    }
  }
  return state;
}

}  // namespace varnelo
