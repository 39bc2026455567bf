#ifndef NAV2_COSTMAP_2D__ARRAY_PARSER_HPP_
#define NAV2_COSTMAP_2D__ARRAY_PARSER_HPP_

#include <string>
#include <vector>

namespace nav2_costmap_2d
{

// Parses a vector of vectors of floats written as "[[1.0, 2.0], [3.3, 4.4, 5.5], ...]".
// On a syntax error error_return describes it and the result is empty.
std::vector<std::vector<float>> parseVVF(const std::string & input, std::string & error_return);

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__ARRAY_PARSER_HPP_
