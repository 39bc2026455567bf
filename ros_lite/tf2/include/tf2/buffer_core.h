#ifndef TF2__BUFFER_CORE_H_
#define TF2__BUFFER_CORE_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/LinearMath/Transform.h"
#include "tf2/buffer_core_interface.h"
#include "tf2/exceptions.h"
#include "tf2/time.h"
#include "tf2/time_cache.h"
#include "tf2/transform_storage.h"

namespace tf2
{

typedef uint32_t TransformableCallbackHandle;
typedef uint64_t TransformableRequestHandle;

enum TransformableResult
{
  TransformAvailable,
  TransformFailure,
};

static constexpr Duration BUFFER_CORE_DEFAULT_CACHE_TIME = std::chrono::seconds(10);

// The frame tree with a time-windowed history of every link.
//
// Each child frame has one cache: a static link valid at every time, or a dynamic one that keeps
// the samples of the last `cache_time` and interpolates between them (no extrapolation).
// Lookups walk from both frames up to their closest common ancestor. Thread-safe.
class BufferCore : public BufferCoreInterface
{
public:
  static const uint32_t MAX_GRAPH_DEPTH = 1000UL;

  using TransformableCallback = std::function<void (
        TransformableRequestHandle request_handle, const std::string & target_frame,
        const std::string & source_frame, tf2::TimePoint time, TransformableResult result)>;

  explicit BufferCore(tf2::Duration cache_time_ = BUFFER_CORE_DEFAULT_CACHE_TIME);
  virtual ~BufferCore(void);

  // Drops the dynamic history; static links stay.
  void clear() override;

  // Stores a link; false (with an error log) for a self-transform, empty frame ids, NaN values,
  // a non-unit quaternion, data older than the cache window or a repeated stamp.
  bool setTransform(
    const geometry_msgs::msg::TransformStamped & transform,
    const std::string & authority, bool is_static = false);

  // The transform taking data from source_frame into target_frame at `time`
  // (TimePointZero = the latest time every link of the chain has data for).
  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const TimePoint & time) const override;

  // Time travel: source at source_time into fixed_frame, then fixed_frame at target_time into
  // target_frame.
  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const TimePoint & target_time,
    const std::string & source_frame, const TimePoint & source_time,
    const std::string & fixed_frame) const override;

  bool canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const TimePoint & time, std::string * error_msg = nullptr) const override;

  bool canTransform(
    const std::string & target_frame, const TimePoint & target_time,
    const std::string & source_frame, const TimePoint & source_time,
    const std::string & fixed_frame, std::string * error_msg = nullptr) const override;

  std::vector<std::string> getAllFrameNames() const override;
  std::string allFramesAsYAML(TimePoint current_time) const;
  std::string allFramesAsYAML() const;
  std::string allFramesAsString() const;

  // Whether another thread fills this buffer, so that waiting for data can succeed.
  void setUsingDedicatedThread(bool value) {using_dedicated_thread_ = value;}
  bool isUsingDedicatedThread() const {return using_dedicated_thread_;}

  tf2::Duration getCacheLength() {return cache_time_;}

  // Asks for `callback` once target <- source becomes transformable at `time`. Returns 0 when it
  // already is (no callback), 0xffffffffffffffff when it never can be (time older than the
  // cache window), else a handle; the callback later reports TransformAvailable, or
  // TransformFailure once the time has dropped out of the window.
  TransformableRequestHandle addTransformableRequest(
    const TransformableCallback & cb, const std::string & target_frame,
    const std::string & source_frame, TimePoint time);
  void cancelTransformableRequest(TransformableRequestHandle handle);

  bool _frameExists(const std::string & frame_id_str) const;
  bool _getParent(const std::string & frame_id, TimePoint time, std::string & parent) const;

private:
  struct Chain;
  struct TransformableRequest
  {
    TransformableCallback callback;
    std::string target_frame;
    std::string source_frame;
    TimePoint time;
  };

  CompactFrameID validateFrameId(const char * function_name_arg, const std::string & frame_id) const;
  bool warnFrameId(const char * function_name_arg, const std::string & frame_id) const;
  CompactFrameID lookupFrameNumber(const std::string & frameid_str) const;
  CompactFrameID lookupOrInsertFrameNumber(const std::string & frameid_str);
  const std::string & lookupFrameString(CompactFrameID frame_id_num) const;
  TimeCacheInterfacePtr getFrame(CompactFrameID frame_number) const;
  TimeCacheInterfacePtr allocateFrame(CompactFrameID cfid, bool is_static);

  Chain climb(CompactFrameID start, TimePoint time, CompactFrameID stop) const;
  TF2Error getLatestCommonTime(
    CompactFrameID target_id, CompactFrameID source_id, TimePoint & time,
    std::string * error_string) const;
  // The link source -> target at `time` (rotation, translation and stamp of `out`).
  TF2Error resolve(
    CompactFrameID target_id, CompactFrameID source_id, TimePoint time, TransformStorage & out,
    std::string * error_string) const;
  void lookupTransformImpl(
    const std::string & target_frame, const std::string & source_frame, const TimePoint & time,
    TransformStorage & out) const;
  bool canTransformNoLock(
    CompactFrameID target_id, CompactFrameID source_id, const TimePoint & time,
    std::string * error_msg) const;
  std::string allFramesAsStringNoLock() const;
  void testTransformableRequests();

  mutable std::mutex frame_mutex_;
  std::vector<TimeCacheInterfacePtr> frames_;   // index = CompactFrameID; 0 unused
  std::unordered_map<std::string, CompactFrameID> frameIDs_;
  std::vector<std::string> frameIDs_reverse_;
  std::map<CompactFrameID, std::string> frame_authority_;
  tf2::Duration cache_time_;
  std::atomic<bool> using_dedicated_thread_{false};

  std::mutex transformable_requests_mutex_;
  std::map<TransformableRequestHandle, TransformableRequest> transformable_requests_;
  TransformableRequestHandle next_request_handle_ = 1;
};

}  // namespace tf2

#endif  // TF2__BUFFER_CORE_H_
