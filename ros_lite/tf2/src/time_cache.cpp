#include "tf2/time_cache.h"

#include <sstream>

namespace tf2
{

namespace
{

void setError(std::string * error_str, TF2Error * error_code, TF2Error code, const std::string & text)
{
  if (error_str) {
    *error_str = text;
  }
  if (error_code) {
    *error_code = code;
  }
}

std::string onlyOneSampleError(TimePoint requested, TimePoint available)
{
  std::stringstream ss;
  ss << "Lookup would require extrapolation at time " << displayTimePoint(requested) <<
    ", but only time " << displayTimePoint(available) << " is in the buffer";
  return ss.str();
}

std::string futureError(TimePoint requested, TimePoint latest)
{
  std::stringstream ss;
  ss << "Lookup would require extrapolation into the future.  Requested time " <<
    displayTimePoint(requested) << " but the latest data is at time " << displayTimePoint(latest);
  return ss.str();
}

std::string pastError(TimePoint requested, TimePoint earliest)
{
  std::stringstream ss;
  ss << "Lookup would require extrapolation into the past.  Requested time " <<
    displayTimePoint(requested) << " but the earliest data is at time " << displayTimePoint(earliest);
  return ss.str();
}

// The link at `time` between two samples of the same parent.
void interpolate(
  const TransformStorage & one, const TransformStorage & two, TimePoint time,
  TransformStorage & output)
{
  // A re-parented frame cannot be blended across the change; hold the older link.
  if (one.frame_id_ != two.frame_id_) {
    output = one;
    output.stamp_ = time;
    return;
  }
  const double ratio = durationToSec(time - one.stamp_) / durationToSec(two.stamp_ - one.stamp_);
  output.translation_.setInterpolate3(one.translation_, two.translation_, ratio);
  output.rotation_ = one.rotation_.slerp(two.rotation_, ratio);
  output.stamp_ = time;
  output.frame_id_ = one.frame_id_;
  output.child_frame_id_ = one.child_frame_id_;
}

}  // namespace

TimeCache::TimeCache(tf2::Duration max_storage_time)
: max_storage_time_(max_storage_time) {}

int TimeCache::findClosest(
  const TransformStorage * & one, const TransformStorage * & two, TimePoint target_time,
  std::string * error_str, TF2Error * error_code) const
{
  if (storage_.empty()) {
    setError(error_str, error_code, TF2Error::TF2_LOOKUP_ERROR, "Cache is empty");
    return 0;
  }
  if (target_time == TimePointZero) {
    one = &storage_.back();
    return 1;
  }
  if (storage_.size() == 1) {
    if (storage_.front().stamp_ == target_time) {
      one = &storage_.front();
      return 1;
    }
    setError(error_str, error_code, TF2Error::TF2_EXTRAPOLATION_ERROR,
      onlyOneSampleError(target_time, storage_.front().stamp_));
    return 0;
  }
  const TimePoint latest = storage_.back().stamp_;
  const TimePoint earliest = storage_.front().stamp_;
  if (target_time == latest) {
    one = &storage_.back();
    return 1;
  }
  if (target_time == earliest) {
    one = &storage_.front();
    return 1;
  }
  if (target_time > latest) {
    setError(error_str, error_code, TF2Error::TF2_EXTRAPOLATION_ERROR, futureError(target_time, latest));
    return 0;
  }
  if (target_time < earliest) {
    setError(error_str, error_code, TF2Error::TF2_EXTRAPOLATION_ERROR, pastError(target_time, earliest));
    return 0;
  }
  // Newest sample strictly after target_time, and the one before it.
  auto after = storage_.end();
  for (auto it = storage_.rbegin(); it != storage_.rend(); ++it) {
    if (it->stamp_ <= target_time) {
      after = it.base();
      break;
    }
  }
  two = &*after;
  one = &*(after - 1);
  if (one->stamp_ == target_time) {
    return 1;
  }
  return 2;
}

bool TimeCache::getData(
  TimePoint time, TransformStorage & data_out, std::string * error_str, TF2Error * error_code) const
{
  const TransformStorage * one = nullptr;
  const TransformStorage * two = nullptr;
  const int found = findClosest(one, two, time, error_str, error_code);
  if (found == 0) {
    return false;
  }
  if (found == 1) {
    data_out = *one;
  } else {
    interpolate(*one, *two, time, data_out);
  }
  if (error_code) {
    *error_code = TF2Error::TF2_NO_ERROR;
  }
  return true;
}

CompactFrameID TimeCache::getParent(TimePoint time, std::string * error_str) const
{
  const TransformStorage * one = nullptr;
  const TransformStorage * two = nullptr;
  if (findClosest(one, two, time, error_str, nullptr) == 0) {
    return 0;
  }
  return one->frame_id_;
}

bool TimeCache::insertData(const TransformStorage & new_data, std::string * error_str)
{
  if (!storage_.empty() && storage_.back().stamp_ > new_data.stamp_ + max_storage_time_) {
    if (error_str) {
      *error_str = "TF_OLD_DATA ignoring data from the past";
    }
    return false;
  }
  auto position = storage_.end();
  while (position != storage_.begin() && (position - 1)->stamp_ > new_data.stamp_) {
    --position;
  }
  if (position != storage_.begin() && (position - 1)->stamp_ == new_data.stamp_) {
    if (error_str) {
      *error_str = "TF_REPEATED_DATA ignoring data with redundant timestamp";
    }
    return false;
  }
  storage_.insert(position, new_data);
  pruneList();
  return true;
}

void TimeCache::clearList()
{
  storage_.clear();
}

unsigned int TimeCache::getListLength() const
{
  return static_cast<unsigned int>(storage_.size());
}

P_TimeAndFrameID TimeCache::getLatestTimeAndParent() const
{
  if (storage_.empty()) {
    return std::make_pair(TimePoint(), 0);
  }
  return std::make_pair(storage_.back().stamp_, storage_.back().frame_id_);
}

TimePoint TimeCache::getLatestTimestamp() const
{
  return storage_.empty() ? TimePoint() : storage_.back().stamp_;
}

TimePoint TimeCache::getOldestTimestamp() const
{
  return storage_.empty() ? TimePoint() : storage_.front().stamp_;
}

void TimeCache::pruneList()
{
  const TimePoint latest = storage_.back().stamp_;
  while (!storage_.empty() && storage_.front().stamp_ + max_storage_time_ < latest) {
    storage_.pop_front();
  }
}

bool StaticCache::getData(
  TimePoint time, TransformStorage & data_out, std::string * error_str, TF2Error * error_code) const
{
  if (!has_data_) {
    setError(error_str, error_code, TF2Error::TF2_LOOKUP_ERROR, "Cache is empty");
    return false;
  }
  data_out = storage_;
  data_out.stamp_ = time;
  if (error_code) {
    *error_code = TF2Error::TF2_NO_ERROR;
  }
  return true;
}

bool StaticCache::insertData(const TransformStorage & new_data, std::string *)
{
  storage_ = new_data;
  has_data_ = true;
  return true;
}

void StaticCache::clearList()
{
  // Static links outlive a clear: they are published once and never again.
}

CompactFrameID StaticCache::getParent(TimePoint, std::string *) const
{
  return has_data_ ? storage_.frame_id_ : 0;
}

P_TimeAndFrameID StaticCache::getLatestTimeAndParent() const
{
  return std::make_pair(TimePoint(), has_data_ ? storage_.frame_id_ : 0);
}

unsigned int StaticCache::getListLength() const
{
  return has_data_ ? 1 : 0;
}

TimePoint StaticCache::getLatestTimestamp() const
{
  return TimePoint();
}

TimePoint StaticCache::getOldestTimestamp() const
{
  return TimePoint();
}

}  // namespace tf2
