#include "text/text_shift.h"

#include <algorithm>
#include <cstring>

namespace varnelo {

std::optional<TextShift> FindTextShift(std::string_view before, std::string_view after) {
  const std::size_t shorter = std::min(before.size(), after.size());
  // The head in blocks first: an edit changes a few bytes of a book of millions.
  std::size_t head = 0;
  constexpr std::size_t kBlock = 4096;
  while (head + kBlock <= shorter && std::memcmp(before.data() + head, after.data() + head, kBlock) == 0)
    head += kBlock;
  while (head < shorter && before[head] == after[head]) ++head;
  if (head == before.size() && head == after.size()) return std::nullopt;
  std::size_t tail = 0;
  const std::size_t room = shorter - head;  // the tail never reaches into the head
  while (tail < room && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) ++tail;
  return TextShift{static_cast<std::int64_t>(head), static_cast<std::int64_t>(before.size() - head - tail),
                   static_cast<std::int64_t>(after.size() - head - tail)};
}

std::int64_t ShiftedOffset(std::int64_t offset, const TextShift& shift) {
  if (offset < shift.at) return offset;
  if (offset >= shift.at + shift.removed) return offset + shift.added - shift.removed;
  return std::min(offset, shift.at + shift.added);
}

std::int64_t ShiftedOffset(std::int64_t offset, const std::vector<TextShift>& shifts) {
  std::int64_t moved = 0;  // by the stretches wholly before the offset
  for (const TextShift& shift : shifts) {
    if (offset < shift.at) break;
    if (offset < shift.at + shift.removed) return std::min(offset, shift.at + shift.added) + moved;
    moved += shift.added - shift.removed;
  }
  return offset + moved;
}

bool ShiftsFit(const std::vector<TextShift>& shifts, std::size_t before, std::size_t after) {
  std::int64_t end = 0;
  std::int64_t size = static_cast<std::int64_t>(before);
  for (const TextShift& shift : shifts) {
    if (shift.at < end || shift.removed < 0 || shift.added < 0 ||
        shift.at + shift.removed > static_cast<std::int64_t>(before))
      return false;
    end = shift.at + shift.removed;
    size += shift.added - shift.removed;
  }
  return size == static_cast<std::int64_t>(after);
}

}  // namespace varnelo
