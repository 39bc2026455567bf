#ifndef TF2__TIME_CACHE_H_
#define TF2__TIME_CACHE_H_

#include <deque>
#include <memory>
#include <string>

#include "tf2/exceptions.h"
#include "tf2/time.h"
#include "tf2/transform_storage.h"

namespace tf2
{

// The history of one frame's link to its parent.
class TimeCacheInterface
{
public:
  virtual ~TimeCacheInterface() = default;

  // The link at `time` (TimePointZero = the latest); false with a reason in error_str when the
  // cache cannot answer for that time.
  virtual bool getData(
    tf2::TimePoint time, TransformStorage & data_out, std::string * error_str = nullptr,
    TF2Error * error_code = nullptr) const = 0;
  // false, with the reason in error_str, when the sample is rejected.
  virtual bool insertData(const TransformStorage & new_data, std::string * error_str = nullptr) = 0;
  virtual void clearList() = 0;
  // Parent frame at `time`, 0 if unknown.
  virtual CompactFrameID getParent(tf2::TimePoint time, std::string * error_str) const = 0;
  // Stamp and parent of the newest sample; (TimePoint(), 0) when empty. Static links report a
  // zero stamp since they hold at every time.
  virtual P_TimeAndFrameID getLatestTimeAndParent() const = 0;
  virtual unsigned int getListLength() const = 0;
  virtual tf2::TimePoint getLatestTimestamp() const = 0;
  virtual tf2::TimePoint getOldestTimestamp() const = 0;
};

using TimeCacheInterfacePtr = std::shared_ptr<TimeCacheInterface>;

constexpr tf2::Duration TIMECACHE_DEFAULT_MAX_STORAGE_TIME = std::chrono::seconds(10);

// Dynamic link: samples within a sliding window, interpolated between neighbours
// (linear in translation, slerp in rotation). Times outside the window are extrapolation errors.
class TimeCache : public TimeCacheInterface
{
public:
  explicit TimeCache(tf2::Duration max_storage_time = TIMECACHE_DEFAULT_MAX_STORAGE_TIME);

  bool getData(
    tf2::TimePoint time, TransformStorage & data_out, std::string * error_str = nullptr,
    TF2Error * error_code = nullptr) const override;
  bool insertData(const TransformStorage & new_data, std::string * error_str = nullptr) override;
  void clearList() override;
  CompactFrameID getParent(tf2::TimePoint time, std::string * error_str) const override;
  P_TimeAndFrameID getLatestTimeAndParent() const override;
  unsigned int getListLength() const override;
  tf2::TimePoint getLatestTimestamp() const override;
  tf2::TimePoint getOldestTimestamp() const override;

private:
  // The samples bracketing `target_time` (the same one twice on an exact hit); number found.
  int findClosest(
    const TransformStorage * & one, const TransformStorage * & two, tf2::TimePoint target_time,
    std::string * error_str, TF2Error * error_code) const;
  void pruneList();

  std::deque<TransformStorage> storage_;  // oldest first
  tf2::Duration max_storage_time_;
};

// Static link: one sample valid at every time.
class StaticCache : public TimeCacheInterface
{
public:
  bool getData(
    tf2::TimePoint time, TransformStorage & data_out, std::string * error_str = nullptr,
    TF2Error * error_code = nullptr) const override;
  bool insertData(const TransformStorage & new_data, std::string * error_str = nullptr) override;
  void clearList() override;
  CompactFrameID getParent(tf2::TimePoint time, std::string * error_str) const override;
  P_TimeAndFrameID getLatestTimeAndParent() const override;
  unsigned int getListLength() const override;
  tf2::TimePoint getLatestTimestamp() const override;
  tf2::TimePoint getOldestTimestamp() const override;

private:
  TransformStorage storage_;
  bool has_data_ = false;
};

}  // namespace tf2

#endif  // TF2__TIME_CACHE_H_
