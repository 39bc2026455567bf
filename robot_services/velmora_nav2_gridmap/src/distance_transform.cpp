#include "velmora_nav2_gridmap/distance_transform.hpp"

#include <algorithm>
#include <limits>

namespace velmora_nav2_gridmap
{

namespace
{
// One-dimensional pass: d[q] = min over p of (q - p)^2 + f[p], through the lower envelope of the
// parabolas rooted at each p. `v` and `z` are scratch buffers of at least n and n + 1 entries.
void transformLine(
  const std::vector<double> & f, std::vector<double> & d, size_t n, std::vector<size_t> & v,
  std::vector<double> & z)
{
  constexpr double kInf = std::numeric_limits<double>::infinity();
  size_t k = 0;
  v[0] = 0;
  z[0] = -kInf;
  z[1] = kInf;
  for (size_t q = 1; q < n; ++q) {
    const double fq = f[q] + static_cast<double>(q * q);
    double s;
    // z[0] is -infinity, so the walk back always stops at the first parabola.
    while (true) {
      const size_t p = v[k];
      s = (fq - (f[p] + static_cast<double>(p * p))) / (2.0 * static_cast<double>(q - p));
      if (s > z[k]) {
        break;
      }
      --k;
    }
    ++k;
    v[k] = q;
    z[k] = s;
    z[k + 1] = kInf;
  }
  k = 0;
  for (size_t q = 0; q < n; ++q) {
    while (z[k + 1] < static_cast<double>(q)) {
      ++k;
    }
    const double offset = static_cast<double>(q) - static_cast<double>(v[k]);
    d[q] = offset * offset + f[v[k]];
  }
}
}  // namespace

std::vector<double> DistanceTransform::squaredDistances(
  unsigned int size_x, unsigned int size_y, const std::vector<bool> & sources)
{
  const size_t cells = static_cast<size_t>(size_x) * size_y;
  std::vector<double> grid(cells);
  for (size_t i = 0; i < cells; ++i) {
    grid[i] = sources[i] ? 0.0 : kNoSource;
  }
  const size_t longest = std::max(size_x, size_y);
  std::vector<double> f(longest), d(longest), z(longest + 1);
  std::vector<size_t> v(longest);

  for (unsigned int x = 0; x < size_x; ++x) {
    for (unsigned int y = 0; y < size_y; ++y) {
      f[y] = grid[size_t{y} * size_x + x];
    }
    transformLine(f, d, size_y, v, z);
    for (unsigned int y = 0; y < size_y; ++y) {
      grid[size_t{y} * size_x + x] = d[y];
    }
  }
  for (unsigned int y = 0; y < size_y; ++y) {
    const size_t row = size_t{y} * size_x;
    std::copy(grid.begin() + row, grid.begin() + row + size_x, f.begin());
    transformLine(f, d, size_x, v, z);
    std::copy(d.begin(), d.begin() + size_x, grid.begin() + row);
  }
  // Rows or columns without a source carry kNoSource plus an offset: report them uniformly.
  for (auto & value : grid) {
    if (value >= kNoSource) {
      value = kNoSource;
    }
  }
  return grid;
}

}  // namespace velmora_nav2_gridmap

