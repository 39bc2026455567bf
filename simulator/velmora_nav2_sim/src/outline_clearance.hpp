#ifndef APPS__OUTLINE_CLEARANCE_HPP_
#define APPS__OUTLINE_CLEARANCE_HPP_

#include <vector>

#include "collision/footprint_outline.hpp"
#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "velmora_sim_robot/planar_motion.hpp"

namespace velmora_apps
{

// How far the robot's outline, placed at a pose, stays from the nearest LETHAL_OBSTACLE cell of a
// map. Unknown cells and inflated cost are not obstacles here.
//
// The distance to every lethal cell centre is computed once, for the whole map (an exact
// Euclidean distance transform). The outline is sampled along its edges every half cell; at each
// sample the distance is interpolated bilinearly between the four surrounding cell centres, which
// is exact next to a wall along the grid. A lethal cell counts from its centre less half a cell,
// where the face of a wall along the grid lies. Towards a cell's corner the figure exceeds the
// true distance by up to a fifth of a cell (the corner lies farther in than the face), and by
// less than a sixth more where the interpolation bends round a lone cell: within a cell in all.
// The clearance is 0 when the outline comes within half a cell of a lethal cell centre, encloses
// one, or leaves the map, as a collision; an edge that only clips a lethal cell's corner gets a
// few millimetres instead.
class OutlineClearance
{
public:
  // `footprint` is the outline in the robot frame (x forward, y left), as the costmap reports
  // the padded footprint; the map's costs are read once. Throws std::invalid_argument for an
  // empty footprint or a map without cells or a positive resolution.
  OutlineClearance(
    const nav2_costmap_2d::Costmap2D & map, std::vector<geometry_msgs::msg::Point> footprint);

  // The clearance in metres of the outline at `pose` (map frame); infinity when the map has no
  // lethal cell.
  double at(const velmora_sim_robot::PlanarPose & pose) const;

private:
  using Vertex = Collision::FootprintOutline::Vertex;

  bool onMap(const Vertex & point) const;
  // The distance from `point` to the nearest lethal cell centre, interpolated between cells.
  double centreDistance(const Vertex & point) const;
  bool enclosesLethalCell(const Collision::FootprintOutline & outline) const;
  // The smallest interpolated centre distance over samples every half cell along the edges.
  double nearestCentreAlongEdges(const std::vector<Vertex> & outline) const;
  double storedDistance(long cell_x, long cell_y) const;

  std::vector<geometry_msgs::msg::Point> footprint_;
  unsigned int size_x_;
  unsigned int size_y_;
  double resolution_;
  double origin_x_;
  double origin_y_;
  // Per cell (row-major), the distance in metres from its centre to the nearest lethal centre.
  std::vector<float> distances_;
};

}  // namespace velmora_apps

#endif  // APPS__OUTLINE_CLEARANCE_HPP_
