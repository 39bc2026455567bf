#ifndef TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_
#define TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_

#include <array>
#include <string>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/pose_with_covariance.hpp"
#include "geometry_msgs/msg/pose_with_covariance_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "geometry_msgs/msg/transform.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "geometry_msgs/msg/vector3.hpp"
#include "tf2/LinearMath/Matrix3x3.h"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Transform.h"
#include "tf2/LinearMath/Vector3.h"
#include "tf2/convert.h"
#include "tf2/transform_datatypes.h"
#include "tf2_ros/buffer_interface.h"

namespace tf2
{

namespace detail
{

inline tf2::Quaternion rotationOf(const geometry_msgs::msg::TransformStamped & transform)
{
  const auto & r = transform.transform.rotation;
  return tf2::Quaternion(r.x, r.y, r.z, r.w);
}

inline tf2::Vector3 translationOf(const geometry_msgs::msg::TransformStamped & transform)
{
  const auto & t = transform.transform.translation;
  return tf2::Vector3(t.x, t.y, t.z);
}

// transform applied to a point.
inline tf2::Vector3 applyToPoint(
  const geometry_msgs::msg::TransformStamped & transform, const tf2::Vector3 & point)
{
  return tf2::quatRotate(rotationOf(transform), point) + translationOf(transform);
}

}  // namespace detail

// ---- Vector3 ----
inline geometry_msgs::msg::Vector3 toMsg(const tf2::Vector3 & in)
{
  geometry_msgs::msg::Vector3 out;
  out.x = in.getX();
  out.y = in.getY();
  out.z = in.getZ();
  return out;
}

inline void fromMsg(const geometry_msgs::msg::Vector3 & in, tf2::Vector3 & out)
{
  out = tf2::Vector3(in.x, in.y, in.z);
}

// A direction: rotated, never translated.
template<>
inline void doTransform(
  const geometry_msgs::msg::Vector3 & t_in, geometry_msgs::msg::Vector3 & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  t_out = toMsg(tf2::quatRotate(detail::rotationOf(transform), tf2::Vector3(t_in.x, t_in.y, t_in.z)));
}

// ---- Point ----
inline geometry_msgs::msg::Point & toMsg(const tf2::Vector3 & in, geometry_msgs::msg::Point & out)
{
  out.x = in.getX();
  out.y = in.getY();
  out.z = in.getZ();
  return out;
}

inline void fromMsg(const geometry_msgs::msg::Point & in, tf2::Vector3 & out)
{
  out = tf2::Vector3(in.x, in.y, in.z);
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Point & t_in, geometry_msgs::msg::Point & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  toMsg(detail::applyToPoint(transform, tf2::Vector3(t_in.x, t_in.y, t_in.z)), t_out);
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Point32 & t_in, geometry_msgs::msg::Point32 & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  const tf2::Vector3 v = detail::applyToPoint(transform, tf2::Vector3(t_in.x, t_in.y, t_in.z));
  t_out.x = static_cast<float>(v.x());
  t_out.y = static_cast<float>(v.y());
  t_out.z = static_cast<float>(v.z());
}

// ---- Quaternion ----
inline geometry_msgs::msg::Quaternion toMsg(const tf2::Quaternion & in)
{
  geometry_msgs::msg::Quaternion out;
  out.w = in.getW();
  out.x = in.getX();
  out.y = in.getY();
  out.z = in.getZ();
  return out;
}

inline void fromMsg(const geometry_msgs::msg::Quaternion & in, tf2::Quaternion & out)
{
  out = tf2::Quaternion(in.x, in.y, in.z, in.w);
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Quaternion & t_in, geometry_msgs::msg::Quaternion & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  tf2::Quaternion q;
  fromMsg(t_in, q);
  t_out = toMsg(detail::rotationOf(transform) * q);
}

// ---- Transform ----
inline geometry_msgs::msg::Transform toMsg(const tf2::Transform & in)
{
  geometry_msgs::msg::Transform out;
  out.translation = toMsg(in.getOrigin());
  out.rotation = toMsg(in.getRotation());
  return out;
}

inline void fromMsg(const geometry_msgs::msg::Transform & in, tf2::Transform & out)
{
  tf2::Vector3 v;
  fromMsg(in.translation, v);
  out.setOrigin(v);
  tf2::Quaternion q;
  fromMsg(in.rotation, q);
  out.setRotation(q);
}

inline void toMsg(const tf2::Transform & in, geometry_msgs::msg::Pose & out)
{
  toMsg(in.getOrigin(), out.position);
  out.orientation = toMsg(in.getRotation());
}

inline void fromMsg(const geometry_msgs::msg::Pose & in, tf2::Transform & out)
{
  out.setOrigin(tf2::Vector3(in.position.x, in.position.y, in.position.z));
  out.setRotation(
    tf2::Quaternion(in.orientation.x, in.orientation.y, in.orientation.z, in.orientation.w));
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Transform & t_in, geometry_msgs::msg::Transform & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  const tf2::Vector3 origin = detail::applyToPoint(
    transform, tf2::Vector3(t_in.translation.x, t_in.translation.y, t_in.translation.z));
  tf2::Quaternion q;
  fromMsg(t_in.rotation, q);
  t_out.translation = toMsg(origin);
  t_out.rotation = toMsg(detail::rotationOf(transform) * q);
}

// ---- TransformStamped ----
template<>
inline tf2::TimePoint getTimestamp(const geometry_msgs::msg::TransformStamped & t)
{
  return tf2_ros::fromMsg(t.header.stamp);
}

template<>
inline std::string getFrameId(const geometry_msgs::msg::TransformStamped & t)
{
  return t.header.frame_id;
}

template<>
inline void doTransform(
  const geometry_msgs::msg::TransformStamped & t_in, geometry_msgs::msg::TransformStamped & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  geometry_msgs::msg::Transform moved;
  doTransform(t_in.transform, moved, transform);
  t_out.transform = moved;
  t_out.header.stamp = transform.header.stamp;
  t_out.header.frame_id = transform.header.frame_id;
  t_out.child_frame_id = t_in.child_frame_id;
}

inline geometry_msgs::msg::TransformStamped toMsg(const tf2::Stamped<tf2::Transform> & in)
{
  geometry_msgs::msg::TransformStamped out;
  out.header.stamp = tf2_ros::toMsg(in.stamp_);
  out.header.frame_id = in.frame_id_;
  out.transform = toMsg(static_cast<const tf2::Transform &>(in));
  return out;
}

inline void fromMsg(const geometry_msgs::msg::TransformStamped & msg, tf2::Stamped<tf2::Transform> & out)
{
  out.stamp_ = tf2_ros::fromMsg(msg.header.stamp);
  out.frame_id_ = msg.header.frame_id;
  tf2::Transform tmp;
  fromMsg(msg.transform, tmp);
  out.setData(tmp);
}

inline geometry_msgs::msg::TransformStamped toMsg(const geometry_msgs::msg::TransformStamped & in)
{
  return in;
}

inline void fromMsg(
  const geometry_msgs::msg::TransformStamped & msg, geometry_msgs::msg::TransformStamped & out)
{
  out = msg;
}

// ---- Pose ----
inline geometry_msgs::msg::Pose toMsg(const geometry_msgs::msg::Pose & in)
{
  return in;
}

inline void fromMsg(const geometry_msgs::msg::Pose & msg, geometry_msgs::msg::Pose & out)
{
  out = msg;
}

template<>
inline void doTransform(
  const geometry_msgs::msg::Pose & t_in, geometry_msgs::msg::Pose & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  const tf2::Vector3 position = detail::applyToPoint(
    transform, tf2::Vector3(t_in.position.x, t_in.position.y, t_in.position.z));
  tf2::Quaternion q;
  fromMsg(t_in.orientation, q);
  toMsg(position, t_out.position);
  t_out.orientation = toMsg(detail::rotationOf(transform) * q);
}

// ---- PoseStamped ----
template<>
inline tf2::TimePoint getTimestamp(const geometry_msgs::msg::PoseStamped & t)
{
  return tf2_ros::fromMsg(t.header.stamp);
}

template<>
inline std::string getFrameId(const geometry_msgs::msg::PoseStamped & t)
{
  return t.header.frame_id;
}

// The pose moved by the transform; stamp and frame come from the transform's header.
template<>
inline void doTransform(
  const geometry_msgs::msg::PoseStamped & t_in, geometry_msgs::msg::PoseStamped & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  geometry_msgs::msg::Pose moved;
  doTransform(t_in.pose, moved, transform);
  t_out.pose = moved;
  t_out.header.stamp = transform.header.stamp;
  t_out.header.frame_id = transform.header.frame_id;
}

inline geometry_msgs::msg::PoseStamped toMsg(const geometry_msgs::msg::PoseStamped & in)
{
  return in;
}

inline void fromMsg(const geometry_msgs::msg::PoseStamped & msg, geometry_msgs::msg::PoseStamped & out)
{
  out = msg;
}

inline void toMsg(const tf2::Stamped<tf2::Transform> & in, geometry_msgs::msg::PoseStamped & out)
{
  out.header.stamp = tf2_ros::toMsg(in.stamp_);
  out.header.frame_id = in.frame_id_;
  toMsg(static_cast<const tf2::Transform &>(in), out.pose);
}

inline void fromMsg(const geometry_msgs::msg::PoseStamped & msg, tf2::Stamped<tf2::Transform> & out)
{
  out.stamp_ = tf2_ros::fromMsg(msg.header.stamp);
  out.frame_id_ = msg.header.frame_id;
  tf2::Transform tmp;
  fromMsg(msg.pose, tmp);
  out.setData(tmp);
}

// ---- PoseWithCovariance(Stamped) ----

// Covariance of a pose (x, y, z, roll, pitch, yaw) expressed in the transform's target frame:
// both the linear and the angular blocks turn with the rotation; translation does not matter.
inline std::array<double, 36> transformCovariance(
  const std::array<double, 36> & cov_in, const tf2::Transform & transform)
{
  const tf2::Matrix3x3 & r = transform.getBasis();
  std::array<double, 36> cov_out{};
  for (int block_row = 0; block_row < 2; ++block_row) {
    for (int block_col = 0; block_col < 2; ++block_col) {
      // out_block = R * in_block * R^T
      for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
          double sum = 0.0;
          for (int k = 0; k < 3; ++k) {
            for (int l = 0; l < 3; ++l) {
              sum += r[i][k] * cov_in[(block_row * 3 + k) * 6 + block_col * 3 + l] * r[j][l];
            }
          }
          cov_out[(block_row * 3 + i) * 6 + block_col * 3 + j] = sum;
        }
      }
    }
  }
  return cov_out;
}

template<>
inline tf2::TimePoint getTimestamp(const geometry_msgs::msg::PoseWithCovarianceStamped & t)
{
  return tf2_ros::fromMsg(t.header.stamp);
}

template<>
inline std::string getFrameId(const geometry_msgs::msg::PoseWithCovarianceStamped & t)
{
  return t.header.frame_id;
}

template<>
inline void doTransform(
  const geometry_msgs::msg::PoseWithCovariance & t_in, geometry_msgs::msg::PoseWithCovariance & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  tf2::Transform tf;
  fromMsg(transform.transform, tf);
  geometry_msgs::msg::Pose moved;
  doTransform(t_in.pose, moved, transform);
  t_out.covariance = transformCovariance(t_in.covariance, tf);
  t_out.pose = moved;
}

template<>
inline void doTransform(
  const geometry_msgs::msg::PoseWithCovarianceStamped & t_in,
  geometry_msgs::msg::PoseWithCovarianceStamped & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  geometry_msgs::msg::PoseWithCovariance moved;
  doTransform(t_in.pose, moved, transform);
  t_out.pose = moved;
  t_out.header.stamp = transform.header.stamp;
  t_out.header.frame_id = transform.header.frame_id;
}

inline geometry_msgs::msg::PoseWithCovarianceStamped toMsg(
  const geometry_msgs::msg::PoseWithCovarianceStamped & in)
{
  return in;
}

inline void fromMsg(
  const geometry_msgs::msg::PoseWithCovarianceStamped & msg,
  geometry_msgs::msg::PoseWithCovarianceStamped & out)
{
  out = msg;
}

// ---- Polygon(Stamped) ----
template<>
inline void doTransform(
  const geometry_msgs::msg::Polygon & t_in, geometry_msgs::msg::Polygon & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  geometry_msgs::msg::Polygon moved;
  moved.points.resize(t_in.points.size());
  for (size_t i = 0; i < t_in.points.size(); ++i) {
    doTransform(t_in.points[i], moved.points[i], transform);
  }
  t_out = moved;
}

template<>
inline tf2::TimePoint getTimestamp(const geometry_msgs::msg::PolygonStamped & t)
{
  return tf2_ros::fromMsg(t.header.stamp);
}

template<>
inline std::string getFrameId(const geometry_msgs::msg::PolygonStamped & t)
{
  return t.header.frame_id;
}

template<>
inline void doTransform(
  const geometry_msgs::msg::PolygonStamped & t_in, geometry_msgs::msg::PolygonStamped & t_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  geometry_msgs::msg::Polygon moved;
  doTransform(t_in.polygon, moved, transform);
  t_out.polygon = moved;
  t_out.header.stamp = transform.header.stamp;
  t_out.header.frame_id = transform.header.frame_id;
}

inline geometry_msgs::msg::PolygonStamped toMsg(const geometry_msgs::msg::PolygonStamped & in)
{
  return in;
}

inline void fromMsg(
  const geometry_msgs::msg::PolygonStamped & msg, geometry_msgs::msg::PolygonStamped & out)
{
  out = msg;
}

}  // namespace tf2

#endif  // TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_
