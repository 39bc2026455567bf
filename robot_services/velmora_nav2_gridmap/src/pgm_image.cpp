#include "velmora_nav2_gridmap/pgm_image.hpp"

#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"

namespace velmora_nav2_gridmap
{

namespace
{
// Larger images are taken for corrupt headers rather than maps.
constexpr unsigned long long kMaxPixels = 1ULL << 28;

// Reads the whitespace- and comment-separated numbers of a PGM header and of P2 pixel data.
class PgmTokenizer
{
public:
  PgmTokenizer(const std::string & bytes, const std::string & path)
  : bytes_(bytes), path_(path) {}

  std::string magic()
  {
    if (bytes_.size() < 2 || bytes_[0] != 'P') {
      fail("not a PGM file (it must start with P5 or P2)");
    }
    pos_ = 2;
    return bytes_.substr(0, 2);
  }

  unsigned long number(const char * what)
  {
    skipSpaceAndComments();
    const size_t start = pos_;
    unsigned long long value = 0;
    while (pos_ < bytes_.size() && std::isdigit(static_cast<unsigned char>(bytes_[pos_]))) {
      value = value * 10 + static_cast<unsigned long long>(bytes_[pos_] - '0');
      if (value > kMaxPixels) {
        fail(std::string(what) + " is out of range");
      }
      ++pos_;
    }
    if (pos_ == start) {
      fail(std::string("expected ") + what);
    }
    return static_cast<unsigned long>(value);
  }

  // The single whitespace character that ends a binary header.
  void endOfHeader()
  {
    if (pos_ >= bytes_.size() || !std::isspace(static_cast<unsigned char>(bytes_[pos_]))) {
      fail("expected whitespace after the maximum value");
    }
    ++pos_;
  }

  size_t position() const {return pos_;}

  [[noreturn]] void fail(const std::string & what) const
  {
    throw MapLoadError("map image '" + path_ + "': " + what);
  }

private:
  void skipSpaceAndComments()
  {
    while (pos_ < bytes_.size()) {
      if (bytes_[pos_] == '#') {
        while (pos_ < bytes_.size() && bytes_[pos_] != '\n') {
          ++pos_;
        }
      } else if (std::isspace(static_cast<unsigned char>(bytes_[pos_]))) {
        ++pos_;
      } else {
        return;
      }
    }
  }

  const std::string & bytes_;
  const std::string & path_;
  size_t pos_{0};
};
}  // namespace

PgmImage PgmImage::read(const std::string & path)
{
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw MapLoadError("map image '" + path + "': cannot open the file");
  }
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  PgmTokenizer tokens(bytes, path);
  const std::string magic = tokens.magic();
  if (magic != "P5" && magic != "P2") {
    tokens.fail("unsupported format " + magic + " (only P5 and P2 greyscale)");
  }
  PgmImage image;
  image.width = tokens.number("the width");
  image.height = tokens.number("the height");
  image.max_value = tokens.number("the maximum value");
  if (image.width == 0 || image.height == 0) {
    tokens.fail("the image is empty");
  }
  const unsigned long long count = static_cast<unsigned long long>(image.width) * image.height;
  if (count > kMaxPixels) {
    tokens.fail("the image is too large");
  }
  if (image.max_value == 0 || image.max_value > 65535) {
    tokens.fail("the maximum value must be within 1..65535");
  }
  image.pixels.resize(count);

  if (magic == "P2") {
    for (auto & pixel : image.pixels) {
      const unsigned long value = tokens.number("a pixel value (the pixel data is truncated)");
      if (value > image.max_value) {
        tokens.fail("pixel value " + std::to_string(value) + " exceeds the maximum value");
      }
      pixel = static_cast<uint16_t>(value);
    }
    return image;
  }

  tokens.endOfHeader();
  const size_t bytes_per_pixel = image.max_value > 255 ? 2 : 1;
  const size_t expected = count * bytes_per_pixel;
  const size_t available = bytes.size() - tokens.position();
  if (available < expected) {
    std::ostringstream what;
    what << "truncated pixel data: expected " << expected << " bytes, found " << available;
    tokens.fail(what.str());
  }
  const auto * data = reinterpret_cast<const unsigned char *>(bytes.data() + tokens.position());
  for (size_t i = 0; i < count; ++i) {
    // 16-bit samples are stored most significant byte first.
    const unsigned int value = bytes_per_pixel == 2 ?
      (static_cast<unsigned int>(data[2 * i]) << 8) | data[2 * i + 1] : data[i];
    if (value > image.max_value) {
      tokens.fail("pixel value " + std::to_string(value) + " exceeds the maximum value");
    }
    image.pixels[i] = static_cast<uint16_t>(value);
  }
  return image;
}

}  // namespace velmora_nav2_gridmap
