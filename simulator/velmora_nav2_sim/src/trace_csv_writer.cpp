#include "trace_csv_writer.hpp"

#include <iomanip>
#include <sstream>

namespace velmora_apps
{

void writeTraceCsv(const std::vector<TraceSample> & samples, std::ostream & out)
{
  // Formatted apart, so the caller's stream keeps its own number format.
  std::ostringstream csv;
  csv << std::fixed << "time_s,goal,x,y,yaw,vx,vy,wz\n";
  for (const TraceSample & sample : samples) {
    csv << std::setprecision(3) << sample.time << ',' << sample.goal << std::setprecision(4)
        << ',' << sample.pose.x << ',' << sample.pose.y << ',' << sample.pose.yaw
        << ',' << sample.command.vx << ',' << sample.command.vy << ',' << sample.command.wz << '\n';
  }
  out << csv.str();
}

}  // namespace velmora_apps
