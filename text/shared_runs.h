// The runs two sequences share in a shortest edit script (Myers): what an edit kept, so a
// save copies those bytes from the file and encodes only what was typed. Pure C++.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnelo::edit_script {

using Index = std::ptrdiff_t;

inline std::size_t U(Index i) { return static_cast<std::size_t>(i); }

struct Run {
  Index x, y, length;  // a[x, x + length) equals b[y, y + length)
};

// Enough for any correction typed by hand (the trace grows with the square of it); a
// larger rewrite is compared line by line.
inline constexpr Index kMaxEdits = 1000;
inline constexpr std::size_t kBudget = 20'000'000;

// Appends the runs a[0, n) and b[0, m) share in a shortest edit script, in order, moved by
// (ax, by). False, with nothing appended, when the script needs more than kMaxEdits edits
// or the search more than kBudget steps.
template <typename Same>
bool SharedRuns(Index n, Index m, const Same& same, Index ax, Index by, std::vector<Run>& out) {
  if (n > INT32_MAX || m > INT32_MAX) return false;  // the trace holds 32-bit positions
  const Index limit = std::min(n + m, kMaxEdits);
  const Index offset = limit + 1;
  std::vector<Index> v(U(2 * limit + 3), 0);
  std::vector<std::vector<std::int32_t>> trace;  // trace[d][k + d]: furthest x on diagonal k
  std::size_t work = 0;
  Index last = -1;
  for (Index d = 0; d <= limit && last < 0; ++d) {
    for (Index k = -d; k <= d; k += 2) {
      // From the furthest neighbour diagonal: down (an insertion) or right (a deletion).
      Index x = 0;
      if (d > 0) {
        const Index left = k > -d ? v[U(offset + k - 1)] : -1;
        const Index right = k < d ? v[U(offset + k + 1)] : -1;
        x = (k == -d || (k != d && left < right)) ? right : left + 1;
      }
      Index y = x - k;
      while (x < n && y < m && same(x, y)) {
        ++x;
        ++y;
        ++work;
      }
      v[U(offset + k)] = x;
      if (x >= n && y >= m) {
        last = d;
        break;
      }
    }
    trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
    work += U(d) + 1;
    if (last < 0 && work > kBudget) return false;
  }
  if (last < 0) return false;

  const std::size_t first = out.size();
  Index x = n;
  Index y = m;
  for (Index d = last; d > 0; --d) {
    const std::vector<std::int32_t>& previous = trace[U(d - 1)];
    const auto at = [&](Index k) { return static_cast<Index>(previous[U(k + d - 1)]); };
    const Index k = x - y;
    const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
    const Index previousK = down ? k + 1 : k - 1;
    const Index previousX = at(previousK);
    const Index snakeX = down ? previousX : previousX + 1;
    if (x > snakeX) out.push_back({snakeX + ax, snakeX - k + by, x - snakeX});
    x = previousX;
    y = previousX - previousK;
  }
  if (x > 0) out.push_back({ax, by, x});
  std::reverse(out.begin() + static_cast<std::ptrdiff_t>(first), out.end());
  return true;
}

}  // namespace varnelo::edit_script
