// How a place in a book moves when the book is read again after an edit: the bytes
// [at, at + removed) became `added` other bytes, and everything after them moved along.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace varnelo {

struct TextShift {
  std::int64_t at = 0;
  std::int64_t removed = 0;
  std::int64_t added = 0;
  bool operator==(const TextShift&) const = default;
};

// The one changed stretch between two texts (the longest common head and tail left out);
// nothing when they are the same.
std::optional<TextShift> FindTextShift(std::string_view before, std::string_view after);

// Where `offset` of the text before lies after the shift: after the changed bytes it moves
// by their change in length; inside them it stays, kept within the new bytes.
std::int64_t ShiftedOffset(std::int64_t offset, const TextShift& shift);

// The same through several changed stretches, in order and disjoint in the text before.
std::int64_t ShiftedOffset(std::int64_t offset, const std::vector<TextShift>& shifts);
// Whether `shifts` (in order, disjoint, inside) turn a text of `before` bytes into one of
// `after` bytes.
bool ShiftsFit(const std::vector<TextShift>& shifts, std::size_t before, std::size_t after);

}  // namespace varnelo
