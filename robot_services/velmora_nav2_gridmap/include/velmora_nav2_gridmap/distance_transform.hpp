#ifndef VELMORA_NAV2_GRIDMAP__DISTANCE_TRANSFORM_HPP_
#define VELMORA_NAV2_GRIDMAP__DISTANCE_TRANSFORM_HPP_

#include <vector>

namespace velmora_nav2_gridmap
{

// Exact Euclidean distance transform (Felzenszwalb & Huttenlocher, linear time): for each cell of
// a size_x by size_y row-major grid, the squared distance in cells to the nearest cell marked in
// `sources`. Cells with no source on the grid get kNoSource.
class DistanceTransform
{
public:
  static constexpr double kNoSource = 1e20;

  static std::vector<double> squaredDistances(
    unsigned int size_x, unsigned int size_y, const std::vector<bool> & sources);
};

}  // namespace velmora_nav2_gridmap

#endif  // VELMORA_NAV2_GRIDMAP__DISTANCE_TRANSFORM_HPP_
