// How a long pass over a whole book (reading it, the blank-line rewrite) lets its caller
// show how far it is and stop it early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace varnelo {

// Called now and then with `done` of `total` bytes (total may be unknown: 0); false stops
// the pass, whose result is then to be thrown away.
using PassProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// How often a pass asks: rarely enough to cost nothing, often enough to stop at once.
inline constexpr std::size_t kPassProgressStep = std::size_t{4} << 20;

}  // namespace varnelo
