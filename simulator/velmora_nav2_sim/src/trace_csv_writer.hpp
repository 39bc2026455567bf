#ifndef APPS__TRACE_CSV_WRITER_HPP_
#define APPS__TRACE_CSV_WRITER_HPP_

#include <ostream>
#include <vector>

#include "trace_recorder.hpp"

namespace velmora_apps
{

// Writes samples as CSV: the header line
//   time_s,goal,x,y,yaw,vx,vy,wz
// then one row per sample: seconds since the start, the goal number (0 before the first goal),
// the map pose (m, m, rad) and the command (m/s, m/s, rad/s).
void writeTraceCsv(const std::vector<TraceSample> & samples, std::ostream & out);

}  // namespace velmora_apps

#endif  // APPS__TRACE_CSV_WRITER_HPP_
