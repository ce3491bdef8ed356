#include "platform/command_router.h"

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

namespace varnelo {

void CommandMap::Add(int id, Run run, Update update) {
  handlers_[id] = Handler{std::move(run), std::move(update)};
}

void CommandMap::AddRange(int first, int last, const Run& run, const Update& update) {
  for (int id = first; id <= last; ++id) Add(id, run, update);
}

bool CommandMap::HandlesCommand(int id) const { return handlers_.count(id) != 0; }

void CommandMap::OnCommand(int id) {
  const auto found = handlers_.find(id);
  if (found != handlers_.end() && found->second.run) found->second.run(id);
}

void CommandMap::UpdateCommand(int id, CommandState& state) const {
  const auto found = handlers_.find(id);
  if (found != handlers_.end() && found->second.update) found->second.update(id, state);
}

}  // namespace varnelo
