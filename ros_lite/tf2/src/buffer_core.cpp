#include "tf2/buffer_core.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>
#include <utility>

#include "console.hpp"
#include "tf2/impl/time_msg.h"

namespace tf2
{

namespace
{

constexpr double QUATERNION_NORMALIZATION_TOLERANCE = 10e-3;
constexpr TransformableRequestHandle NEVER_TRANSFORMABLE = 0xffffffffffffffffULL;

using impl::timeFromMsg;
using impl::timeToMsg;

bool startsWithSlash(const std::string & frame_id)
{
  return !frame_id.empty() && frame_id[0] == '/';
}

std::string stripSlash(const std::string & in)
{
  return startsWithSlash(in) ? in.substr(1) : in;
}

// Link storage doubles as a rigid transform: rotation_ and translation_ map child into parent.
TransformStorage identityLink(TimePoint stamp)
{
  TransformStorage link;
  link.stamp_ = stamp;
  return link;
}

// outer * inner: first inner, then outer.
TransformStorage compose(const TransformStorage & outer, const TransformStorage & inner)
{
  TransformStorage result = outer;
  result.rotation_ = outer.rotation_ * inner.rotation_;
  result.translation_ = quatRotate(outer.rotation_, inner.translation_) + outer.translation_;
  return result;
}

TransformStorage invert(const TransformStorage & link)
{
  TransformStorage result = link;
  result.rotation_ = link.rotation_.inverse();
  result.translation_ = quatRotate(result.rotation_, -link.translation_);
  return result;
}

[[noreturn]] void throwFor(TF2Error code, const std::string & message)
{
  switch (code) {
    case TF2Error::TF2_CONNECTIVITY_ERROR:
      throw ConnectivityException(message);
    case TF2Error::TF2_EXTRAPOLATION_ERROR:
      throw ExtrapolationException(message);
    case TF2Error::TF2_INVALID_ARGUMENT_ERROR:
      throw InvalidArgumentException(message);
    case TF2Error::TF2_LOOKUP_ERROR:
      throw LookupException(message);
    default:
      throw TransformException(message);
  }
}

geometry_msgs::msg::TransformStamped toMessage(
  const TransformStorage & link, const std::string & target_frame, const std::string & source_frame)
{
  geometry_msgs::msg::TransformStamped msg;
  msg.header.stamp = timeToMsg(link.stamp_);
  msg.header.frame_id = target_frame;
  msg.child_frame_id = source_frame;
  msg.transform.translation.x = link.translation_.x();
  msg.transform.translation.y = link.translation_.y();
  msg.transform.translation.z = link.translation_.z();
  msg.transform.rotation.x = link.rotation_.x();
  msg.transform.rotation.y = link.rotation_.y();
  msg.transform.rotation.z = link.rotation_.z();
  msg.transform.rotation.w = link.rotation_.w();
  return msg;
}

}  // namespace

// The frames met walking up from one frame, and the links between them at one time.
struct BufferCore::Chain
{
  std::vector<CompactFrameID> frames;   // the start frame first
  std::vector<TransformStorage> links;  // links[i] maps frames[i] into frames[i + 1]
  bool broken = false;                  // stopped at a link without data for the time
  bool loop = false;
  TF2Error error_code = TF2Error::TF2_NO_ERROR;
  std::string error;

  // Product of the first `count` links: frames[0] into frames[count].
  TransformStorage accumulate(size_t count, TimePoint stamp) const
  {
    TransformStorage result = identityLink(stamp);
    for (size_t i = 0; i < count; ++i) {
      result = compose(links[i], result);
    }
    result.stamp_ = stamp;
    return result;
  }
};

BufferCore::BufferCore(tf2::Duration cache_time)
: cache_time_(cache_time)
{
  frames_.push_back(nullptr);
  frameIDs_["NO_PARENT"] = 0;
  frameIDs_reverse_.push_back("NO_PARENT");
}

BufferCore::~BufferCore() = default;

void BufferCore::clear()
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  for (auto & frame : frames_) {
    if (frame) {
      frame->clearList();
    }
  }
}

bool BufferCore::setTransform(
  const geometry_msgs::msg::TransformStamped & transform, const std::string & authority,
  bool is_static)
{
  geometry_msgs::msg::TransformStamped stripped = transform;
  stripped.header.frame_id = stripSlash(stripped.header.frame_id);
  stripped.child_frame_id = stripSlash(stripped.child_frame_id);
  const auto & t = stripped.transform.translation;
  const auto & r = stripped.transform.rotation;

  bool error_exists = false;
  if (stripped.child_frame_id == stripped.header.frame_id) {
    console::logError(
      "TF_SELF_TRANSFORM: Ignoring transform from authority \"" + authority +
      "\" with frame_id and child_frame_id  \"" + stripped.child_frame_id +
      "\" because they are the same");
    error_exists = true;
  }
  if (stripped.child_frame_id.empty()) {
    console::logError(
      "TF_NO_CHILD_FRAME_ID: Ignoring transform from authority \"" + authority +
      "\" because child_frame_id not set ");
    error_exists = true;
  }
  if (stripped.header.frame_id.empty()) {
    console::logError(
      "TF_NO_FRAME_ID: Ignoring transform with child_frame_id \"" + stripped.child_frame_id +
      "\"  from authority \"" + authority + "\" because frame_id not set");
    error_exists = true;
  }
  if (std::isnan(t.x) || std::isnan(t.y) || std::isnan(t.z) || std::isnan(r.x) ||
    std::isnan(r.y) || std::isnan(r.z) || std::isnan(r.w))
  {
    std::stringstream ss;
    ss << "TF_NAN_INPUT: Ignoring transform for child_frame_id \"" << stripped.child_frame_id <<
      "\" from authority \"" << authority << "\" because of a nan value in the transform (" <<
      t.x << " " << t.y << " " << t.z << ") (" << r.x << " " << r.y << " " << r.z << " " << r.w <<
      ")";
    console::logError(ss.str());
    error_exists = true;
  }
  const double norm2 = r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w;
  if (!(std::abs(norm2 - 1.0) < QUATERNION_NORMALIZATION_TOLERANCE)) {
    std::stringstream ss;
    ss << "TF_DENORMALIZED_QUATERNION: Ignoring transform for child_frame_id \"" <<
      stripped.child_frame_id << "\" from authority \"" << authority <<
      "\" because of an invalid quaternion in the transform (" << r.x << " " << r.y << " " <<
      r.z << " " << r.w << ")";
    console::logError(ss.str());
    error_exists = true;
  }
  if (error_exists) {
    return false;
  }

  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    const CompactFrameID frame_number = lookupOrInsertFrameNumber(stripped.child_frame_id);
    TimeCacheInterfacePtr frame = getFrame(frame_number);
    // A link changes kind when it is republished as the other kind; its history goes with it.
    const bool cached_static = frame && dynamic_cast<StaticCache *>(frame.get()) != nullptr;
    if (!frame || cached_static != is_static) {
      frame = allocateFrame(frame_number, is_static);
    }
    const TransformStorage link(
      timeFromMsg(stripped.header.stamp), Quaternion(r.x, r.y, r.z, r.w).normalized(),
      Vector3(t.x, t.y, t.z), lookupOrInsertFrameNumber(stripped.header.frame_id), frame_number);
    std::string rejection;
    if (!frame->insertData(link, &rejection)) {
      std::stringstream ss;
      ss << rejection << " for frame " << stripped.child_frame_id << " (parent " <<
        stripped.header.frame_id << ") at time " << std::fixed << std::setprecision(6) <<
        timeToSec(link.stamp_) << " according to authority " << authority;
      console::logWarn(ss.str());
      return false;
    }
    frame_authority_[frame_number] = authority;
  }
  testTransformableRequests();
  return true;
}

geometry_msgs::msg::TransformStamped BufferCore::lookupTransform(
  const std::string & target_frame, const std::string & source_frame,
  const TimePoint & time) const
{
  TransformStorage link;
  lookupTransformImpl(target_frame, source_frame, time, link);
  return toMessage(link, target_frame, source_frame);
}

geometry_msgs::msg::TransformStamped BufferCore::lookupTransform(
  const std::string & target_frame, const TimePoint & target_time,
  const std::string & source_frame, const TimePoint & source_time,
  const std::string & fixed_frame) const
{
  TransformStorage source_to_fixed;
  TransformStorage fixed_to_target;
  lookupTransformImpl(fixed_frame, source_frame, source_time, source_to_fixed);
  lookupTransformImpl(target_frame, fixed_frame, target_time, fixed_to_target);
  TransformStorage result = compose(fixed_to_target, source_to_fixed);
  result.stamp_ = fixed_to_target.stamp_;
  return toMessage(result, target_frame, source_frame);
}

void BufferCore::lookupTransformImpl(
  const std::string & target_frame, const std::string & source_frame, const TimePoint & time,
  TransformStorage & out) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  if (target_frame == source_frame) {
    TimePoint stamp = time;
    if (time == TimePointZero) {
      TimeCacheInterfacePtr cache = getFrame(lookupFrameNumber(target_frame));
      if (cache) {
        stamp = cache->getLatestTimestamp();
      }
    }
    out = identityLink(stamp);
    return;
  }

  const CompactFrameID target_id =
    validateFrameId("lookupTransform argument target_frame", target_frame);
  const CompactFrameID source_id =
    validateFrameId("lookupTransform argument source_frame", source_frame);

  std::string error;
  TimePoint lookup_time = time;
  if (time == TimePointZero) {
    const TF2Error code = getLatestCommonTime(target_id, source_id, lookup_time, &error);
    if (code != TF2Error::TF2_NO_ERROR) {
      throwFor(code, error);
    }
  }
  const TF2Error code = resolve(target_id, source_id, lookup_time, out, &error);
  if (code != TF2Error::TF2_NO_ERROR) {
    throwFor(code, error);
  }
}

bool BufferCore::canTransform(
  const std::string & target_frame, const std::string & source_frame, const TimePoint & time,
  std::string * error_msg) const
{
  if (target_frame == source_frame) {
    return true;
  }
  if (warnFrameId("canTransform argument target_frame", target_frame) ||
    warnFrameId("canTransform argument source_frame", source_frame))
  {
    return false;
  }

  std::lock_guard<std::mutex> lock(frame_mutex_);
  const CompactFrameID target_id = lookupFrameNumber(target_frame);
  const CompactFrameID source_id = lookupFrameNumber(source_frame);
  if (target_id == 0 || source_id == 0) {
    if (error_msg) {
      if (target_id == 0) {
        *error_msg += "canTransform: target_frame " + target_frame + " does not exist.";
      }
      if (source_id == 0) {
        if (target_id == 0) {
          *error_msg += " ";
        }
        *error_msg += "canTransform: source_frame " + source_frame + " does not exist.";
      }
    }
    return false;
  }
  return canTransformNoLock(target_id, source_id, time, error_msg);
}

bool BufferCore::canTransform(
  const std::string & target_frame, const TimePoint & target_time,
  const std::string & source_frame, const TimePoint & source_time,
  const std::string & fixed_frame, std::string * error_msg) const
{
  if (warnFrameId("canTransform argument target_frame", target_frame) ||
    warnFrameId("canTransform argument source_frame", source_frame) ||
    warnFrameId("canTransform argument fixed_frame", fixed_frame))
  {
    return false;
  }

  std::lock_guard<std::mutex> lock(frame_mutex_);
  const CompactFrameID target_id = lookupFrameNumber(target_frame);
  const CompactFrameID source_id = lookupFrameNumber(source_frame);
  const CompactFrameID fixed_id = lookupFrameNumber(fixed_frame);
  if (target_id == 0 || source_id == 0 || fixed_id == 0) {
    if (error_msg) {
      std::vector<std::string> missing;
      if (target_id == 0) {
        missing.push_back("canTransform: target_frame " + target_frame + " does not exist.");
      }
      if (source_id == 0) {
        missing.push_back("canTransform: source_frame " + source_frame + " does not exist.");
      }
      if (fixed_id == 0) {
        missing.push_back("canTransform: fixed_frame " + fixed_frame + " does not exist.");
      }
      for (size_t i = 0; i < missing.size(); ++i) {
        *error_msg += (i > 0 ? " " : "") + missing[i];
      }
    }
    return false;
  }
  return canTransformNoLock(target_id, fixed_id, target_time, error_msg) &&
         canTransformNoLock(fixed_id, source_id, source_time, error_msg);
}

bool BufferCore::canTransformNoLock(
  CompactFrameID target_id, CompactFrameID source_id, const TimePoint & time,
  std::string * error_msg) const
{
  if (target_id == 0 || source_id == 0) {
    return false;
  }
  if (target_id == source_id) {
    return true;
  }
  TimePoint lookup_time = time;
  if (time == TimePointZero &&
    getLatestCommonTime(target_id, source_id, lookup_time, error_msg) != TF2Error::TF2_NO_ERROR)
  {
    return false;
  }
  TransformStorage unused;
  return resolve(target_id, source_id, lookup_time, unused, error_msg) == TF2Error::TF2_NO_ERROR;
}

BufferCore::Chain BufferCore::climb(CompactFrameID start, TimePoint time, CompactFrameID stop) const
{
  Chain chain;
  CompactFrameID frame = start;
  while (true) {
    chain.frames.push_back(frame);
    if (frame == stop) {
      break;
    }
    TimeCacheInterfacePtr cache = getFrame(frame);
    if (!cache) {
      break;  // a root: no link above it
    }
    TransformStorage link;
    if (!cache->getData(time, link, &chain.error, &chain.error_code)) {
      chain.broken = true;
      break;
    }
    chain.links.push_back(link);
    frame = link.frame_id_;
    if (chain.links.size() > MAX_GRAPH_DEPTH) {
      chain.loop = true;
      break;
    }
  }
  return chain;
}

TF2Error BufferCore::resolve(
  CompactFrameID target_id, CompactFrameID source_id, TimePoint time, TransformStorage & out,
  std::string * error_string) const
{
  auto report_loop = [&]() {
      if (error_string) {
        *error_string = "The tf tree is invalid because it contains a loop.\n" +
          allFramesAsStringNoLock() + "\n";
      }
      return TF2Error::TF2_LOOKUP_ERROR;
    };

  const Chain source_chain = climb(source_id, time, target_id);
  if (source_chain.loop) {
    return report_loop();
  }
  if (source_chain.frames.back() == target_id) {
    out = source_chain.accumulate(source_chain.links.size(), time);
    return TF2Error::TF2_NO_ERROR;
  }

  const Chain target_chain = climb(target_id, time, source_id);
  if (target_chain.loop) {
    return report_loop();
  }
  if (target_chain.frames.back() == source_id) {
    out = invert(target_chain.accumulate(target_chain.links.size(), time));
    return TF2Error::TF2_NO_ERROR;
  }

  // Closest common ancestor; links above it are not needed, so a gap there does not matter.
  for (size_t i = 0; i < target_chain.frames.size(); ++i) {
    const auto found = std::find(
      source_chain.frames.begin(), source_chain.frames.end(), target_chain.frames[i]);
    if (found != source_chain.frames.end()) {
      const auto j = static_cast<size_t>(found - source_chain.frames.begin());
      out = compose(invert(target_chain.accumulate(i, time)), source_chain.accumulate(j, time));
      out.stamp_ = time;
      return TF2Error::TF2_NO_ERROR;
    }
  }

  if (source_chain.broken || target_chain.broken) {
    const Chain & broken = target_chain.broken ? target_chain : source_chain;
    if (error_string) {
      *error_string = broken.error + ", when looking up transform from frame [" +
        lookupFrameString(source_id) + "] to frame [" + lookupFrameString(target_id) + "]";
    }
    return broken.error_code == TF2Error::TF2_EXTRAPOLATION_ERROR ?
           TF2Error::TF2_EXTRAPOLATION_ERROR : TF2Error::TF2_LOOKUP_ERROR;
  }
  if (error_string) {
    *error_string = "Could not find a connection between '" + lookupFrameString(target_id) +
      "' and '" + lookupFrameString(source_id) +
      "' because they are not part of the same tree." + "Tf has two or more unconnected trees.";
  }
  return TF2Error::TF2_CONNECTIVITY_ERROR;
}

TF2Error BufferCore::getLatestCommonTime(
  CompactFrameID target_id, CompactFrameID source_id, TimePoint & time,
  std::string * error_string) const
{
  if (target_id == source_id) {
    TimeCacheInterfacePtr cache = getFrame(source_id);
    time = cache ? cache->getLatestTimestamp() : TimePoint();
    return TF2Error::TF2_NO_ERROR;
  }

  struct LatestChain
  {
    std::vector<CompactFrameID> frames;
    std::vector<TimePoint> stamps;  // stamps[i]: newest link of frames[i] to frames[i + 1]
    bool loop = false;
  };
  auto climb_latest = [this](CompactFrameID start) {
      LatestChain chain;
      CompactFrameID frame = start;
      while (true) {
        chain.frames.push_back(frame);
        TimeCacheInterfacePtr cache = getFrame(frame);
        if (!cache) {
          break;
        }
        const P_TimeAndFrameID latest = cache->getLatestTimeAndParent();
        if (latest.second == 0) {
          break;
        }
        chain.stamps.push_back(latest.first);
        frame = latest.second;
        if (chain.stamps.size() > MAX_GRAPH_DEPTH) {
          chain.loop = true;
          break;
        }
      }
      return chain;
    };

  const LatestChain source_chain = climb_latest(source_id);
  const LatestChain target_chain = climb_latest(target_id);
  if (source_chain.loop || target_chain.loop) {
    if (error_string) {
      *error_string = "The tf tree is invalid because it contains a loop.\n" +
        allFramesAsStringNoLock() + "\n";
    }
    return TF2Error::TF2_LOOKUP_ERROR;
  }

  for (size_t i = 0; i < target_chain.frames.size(); ++i) {
    const auto found = std::find(
      source_chain.frames.begin(), source_chain.frames.end(), target_chain.frames[i]);
    if (found == source_chain.frames.end()) {
      continue;
    }
    const auto j = static_cast<size_t>(found - source_chain.frames.begin());
    // Static links carry a zero stamp and hold at every time, so they do not bound the result.
    TimePoint common = TimePoint::max();
    for (size_t k = 0; k < j; ++k) {
      if (source_chain.stamps[k] != TimePoint()) {
        common = std::min(common, source_chain.stamps[k]);
      }
    }
    for (size_t k = 0; k < i; ++k) {
      if (target_chain.stamps[k] != TimePoint()) {
        common = std::min(common, target_chain.stamps[k]);
      }
    }
    time = common == TimePoint::max() ? TimePoint() : common;
    return TF2Error::TF2_NO_ERROR;
  }

  if (error_string) {
    *error_string = "Could not find a connection between '" + lookupFrameString(target_id) +
      "' and '" + lookupFrameString(source_id) +
      "' because they are not part of the same tree." + "Tf has two or more unconnected trees.";
  }
  return TF2Error::TF2_CONNECTIVITY_ERROR;
}

CompactFrameID BufferCore::validateFrameId(
  const char * function_name_arg, const std::string & frame_id) const
{
  if (frame_id.empty()) {
    throw InvalidArgumentException(
            "Invalid argument passed to " + std::string(function_name_arg) +
            " in tf2 frame_ids cannot be empty");
  }
  if (startsWithSlash(frame_id)) {
    throw InvalidArgumentException(
            "Invalid argument \"" + frame_id + "\" passed to " + std::string(function_name_arg) +
            " in tf2 frame_ids cannot start with a '/' like: ");
  }
  const CompactFrameID id = lookupFrameNumber(frame_id);
  if (id == 0) {
    throw LookupException(
            "\"" + frame_id + "\" passed to " + std::string(function_name_arg) +
            " does not exist. ");
  }
  return id;
}

bool BufferCore::warnFrameId(const char * function_name_arg, const std::string & frame_id) const
{
  if (frame_id.empty()) {
    console::logWarn(
      "Invalid argument passed to " + std::string(function_name_arg) +
      " in tf2 frame_ids cannot be empty");
    return true;
  }
  if (startsWithSlash(frame_id)) {
    console::logWarn(
      "Invalid argument \"" + frame_id + "\" passed to " + std::string(function_name_arg) +
      " in tf2 frame_ids cannot start with a '/' like: ");
    return true;
  }
  return false;
}

CompactFrameID BufferCore::lookupFrameNumber(const std::string & frameid_str) const
{
  const auto it = frameIDs_.find(frameid_str);
  return it == frameIDs_.end() ? 0 : it->second;
}

CompactFrameID BufferCore::lookupOrInsertFrameNumber(const std::string & frameid_str)
{
  const auto it = frameIDs_.find(frameid_str);
  if (it != frameIDs_.end()) {
    return it->second;
  }
  const auto id = static_cast<CompactFrameID>(frames_.size());
  frames_.push_back(nullptr);
  frameIDs_[frameid_str] = id;
  frameIDs_reverse_.push_back(frameid_str);
  return id;
}

const std::string & BufferCore::lookupFrameString(CompactFrameID frame_id_num) const
{
  if (frame_id_num >= frameIDs_reverse_.size()) {
    throw LookupException(
            "Reverse lookup of frame id " + std::to_string(frame_id_num) + " failed!");
  }
  return frameIDs_reverse_[frame_id_num];
}

TimeCacheInterfacePtr BufferCore::getFrame(CompactFrameID frame_number) const
{
  return frame_number < frames_.size() ? frames_[frame_number] : nullptr;
}

TimeCacheInterfacePtr BufferCore::allocateFrame(CompactFrameID cfid, bool is_static)
{
  if (is_static) {
    frames_[cfid] = std::make_shared<StaticCache>();
  } else {
    frames_[cfid] = std::make_shared<TimeCache>(cache_time_);
  }
  return frames_[cfid];
}

std::vector<std::string> BufferCore::getAllFrameNames() const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return std::vector<std::string>(frameIDs_reverse_.begin() + 1, frameIDs_reverse_.end());
}

std::string BufferCore::allFramesAsString() const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return allFramesAsStringNoLock();
}

std::string BufferCore::allFramesAsStringNoLock() const
{
  std::string result;
  for (CompactFrameID id = 1; id < frames_.size(); ++id) {
    const TimeCacheInterfacePtr & cache = frames_[id];
    if (!cache) {
      continue;
    }
    const CompactFrameID parent_id = cache->getParent(TimePointZero, nullptr);
    result += "Frame " + frameIDs_reverse_[id] + " exists with parent " +
      frameIDs_reverse_[parent_id] + ".\n";
  }
  return result;
}

std::string BufferCore::allFramesAsYAML(TimePoint current_time) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  std::stringstream ss;
  ss << std::fixed << std::setprecision(3);
  bool any = false;
  for (CompactFrameID id = 1; id < frames_.size(); ++id) {
    const TimeCacheInterfacePtr & cache = frames_[id];
    if (!cache || cache->getListLength() == 0) {
      continue;
    }
    any = true;
    const CompactFrameID parent_id = cache->getParent(TimePointZero, nullptr);
    const double latest = timeToSec(cache->getLatestTimestamp());
    const double oldest = timeToSec(cache->getOldestTimestamp());
    const double rate = cache->getListLength() / std::max(latest - oldest, 0.0001);
    const auto authority = frame_authority_.find(id);
    ss << frameIDs_reverse_[id] << ": \n";
    ss << "  parent: '" << frameIDs_reverse_[parent_id] << "'\n";
    ss << "  broadcaster: '" <<
      (authority == frame_authority_.end() ? "no recorded authority" : authority->second) <<
      "'\n";
    ss << "  rate: " << rate << "\n";
    ss << "  most_recent_transform: " << latest << "\n";
    ss << "  oldest_transform: " << oldest << "\n";
    if (current_time != TimePointZero) {
      ss << "  transform_delay: " << timeToSec(current_time) - latest << "\n";
    }
    ss << "  buffer_length: " << latest - oldest << "\n";
  }
  return any ? ss.str() : "[]";
}

std::string BufferCore::allFramesAsYAML() const
{
  return allFramesAsYAML(TimePointZero);
}

bool BufferCore::_frameExists(const std::string & frame_id_str) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  return frameIDs_.count(frame_id_str) > 0;
}

bool BufferCore::_getParent(
  const std::string & frame_id, TimePoint time, std::string & parent) const
{
  std::lock_guard<std::mutex> lock(frame_mutex_);
  TimeCacheInterfacePtr cache = getFrame(lookupFrameNumber(frame_id));
  if (!cache) {
    return false;
  }
  const CompactFrameID parent_id = cache->getParent(time, nullptr);
  if (parent_id == 0) {
    return false;
  }
  parent = frameIDs_reverse_[parent_id];
  return true;
}

TransformableRequestHandle BufferCore::addTransformableRequest(
  const TransformableCallback & cb, const std::string & target_frame,
  const std::string & source_frame, TimePoint time)
{
  if (target_frame == source_frame) {
    return 0;
  }
  // Requests lock before frames, like testTransformableRequests, so that a transform arriving
  // between the check below and the registration still answers the request.
  std::lock_guard<std::mutex> requests_lock(transformable_requests_mutex_);
  {
    std::lock_guard<std::mutex> frames_lock(frame_mutex_);
    const CompactFrameID target_id = lookupFrameNumber(target_frame);
    const CompactFrameID source_id = lookupFrameNumber(source_frame);
    if (target_id != 0 && source_id != 0) {
      TimePoint latest;
      if (time != TimePointZero &&
        getLatestCommonTime(target_id, source_id, latest, nullptr) == TF2Error::TF2_NO_ERROR &&
        latest != TimePoint() && time + cache_time_ < latest)
      {
        return NEVER_TRANSFORMABLE;
      }
      if (canTransformNoLock(target_id, source_id, time, nullptr)) {
        return 0;
      }
    }
  }
  const TransformableRequestHandle handle = next_request_handle_++;
  transformable_requests_[handle] = TransformableRequest{cb, target_frame, source_frame, time};
  return handle;
}

void BufferCore::cancelTransformableRequest(TransformableRequestHandle handle)
{
  std::lock_guard<std::mutex> lock(transformable_requests_mutex_);
  transformable_requests_.erase(handle);
}

void BufferCore::testTransformableRequests()
{
  struct Answer
  {
    TransformableRequestHandle handle;
    TransformableRequest request;
    TransformableResult result;
  };
  std::vector<Answer> answers;
  {
    std::lock_guard<std::mutex> requests_lock(transformable_requests_mutex_);
    std::lock_guard<std::mutex> frames_lock(frame_mutex_);
    for (auto it = transformable_requests_.begin(); it != transformable_requests_.end(); ) {
      const TransformableRequest & request = it->second;
      const CompactFrameID target_id = lookupFrameNumber(request.target_frame);
      const CompactFrameID source_id = lookupFrameNumber(request.source_frame);
      if (target_id == 0 || source_id == 0) {
        ++it;
        continue;
      }
      TimePoint latest;
      const bool expired = request.time != TimePointZero &&
        getLatestCommonTime(target_id, source_id, latest, nullptr) == TF2Error::TF2_NO_ERROR &&
        latest != TimePoint() && request.time + cache_time_ < latest;
      if (expired) {
        answers.push_back(Answer{it->first, request, TransformFailure});
      } else if (canTransformNoLock(target_id, source_id, request.time, nullptr)) {
        answers.push_back(Answer{it->first, request, TransformAvailable});
      } else {
        ++it;
        continue;
      }
      it = transformable_requests_.erase(it);
    }
  }
  // Callbacks run unlocked: they typically look the transform up.
  for (const Answer & answer : answers) {
    answer.request.callback(
      answer.handle, answer.request.target_frame, answer.request.source_frame, answer.request.time,
      answer.result);
  }
}

}  // namespace tf2
