#ifndef VELMORA_NAV2_GRIDMAP__PGM_IMAGE_HPP_
#define VELMORA_NAV2_GRIDMAP__PGM_IMAGE_HPP_

#include <cstdint>
#include <string>
#include <vector>

namespace velmora_nav2_gridmap
{

// A greyscale image read from a PGM file, binary (P5, 8 or 16 bit) or plain text (P2).
struct PgmImage
{
  unsigned int width{0};
  unsigned int height{0};
  unsigned int max_value{0};
  // Row-major from the top row, as stored in the file; each value in [0, max_value].
  std::vector<uint16_t> pixels;

  // Throws MapLoadError naming the file when it cannot be read or is not a valid PGM.
  static PgmImage read(const std::string & path);
};

}  // namespace velmora_nav2_gridmap

#endif  // VELMORA_NAV2_GRIDMAP__PGM_IMAGE_HPP_
