#ifndef TF2__TRANSFORM_STORAGE_H_
#define TF2__TRANSFORM_STORAGE_H_

#include <cstdint>
#include <utility>

#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Vector3.h"
#include "tf2/time.h"

namespace tf2
{

// Frames are interned to small integers; 0 means "no frame".
typedef uint32_t CompactFrameID;
typedef std::pair<tf2::TimePoint, CompactFrameID> P_TimeAndFrameID;

// One stamped link: the pose of child_frame_id_ in frame_id_ (its parent) at stamp_.
class TransformStorage
{
public:
  TransformStorage()
  : rotation_(0.0, 0.0, 0.0, 1.0), translation_(0.0, 0.0, 0.0), stamp_(), frame_id_(0),
    child_frame_id_(0) {}
  TransformStorage(
    const tf2::TimePoint & stamp, const Quaternion & q, const Vector3 & t,
    CompactFrameID frame_id, CompactFrameID child_frame_id)
  : rotation_(q), translation_(t), stamp_(stamp), frame_id_(frame_id),
    child_frame_id_(child_frame_id) {}

  tf2::Quaternion rotation_;
  tf2::Vector3 translation_;
  tf2::TimePoint stamp_;
  CompactFrameID frame_id_;
  CompactFrameID child_frame_id_;
};

}  // namespace tf2

#endif  // TF2__TRANSFORM_STORAGE_H_
