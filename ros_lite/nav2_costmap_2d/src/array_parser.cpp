#include "nav2_costmap_2d/array_parser.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace nav2_costmap_2d
{

namespace
{
// Recursive-descent reader of "[[n, n, ...], ...]"; every method reports the first error found.
class VvfReader
{
public:
  explicit VvfReader(const std::string & input)
  : input_(input) {}

  bool read(std::vector<std::vector<float>> & result, std::string & error)
  {
    if (!expect('[', error)) {
      return false;
    }
    if (!peekIs(']')) {
      do {
        std::vector<float> row;
        if (!readRow(row, error)) {
          return false;
        }
        result.push_back(row);
      } while (accept(','));
    }
    if (!expect(']', error)) {
      return false;
    }
    skipSpace();
    if (pos_ != input_.size()) {
      error = fail("unexpected text after the closing ]");
      return false;
    }
    return true;
  }

private:
  bool readRow(std::vector<float> & row, std::string & error)
  {
    if (!expect('[', error)) {
      return false;
    }
    if (!peekIs(']')) {
      do {
        float value;
        if (!readNumber(value, error)) {
          return false;
        }
        row.push_back(value);
      } while (accept(','));
    }
    return expect(']', error);
  }

  bool readNumber(float & value, std::string & error)
  {
    skipSpace();
    const char * begin = input_.c_str() + pos_;
    char * end = nullptr;
    const double parsed = std::strtod(begin, &end);
    if (end == begin) {
      error = fail("expected a number");
      return false;
    }
    if (!std::isfinite(parsed)) {
      error = fail("numbers must be finite");
      return false;
    }
    pos_ += static_cast<size_t>(end - begin);
    value = static_cast<float>(parsed);
    return true;
  }

  void skipSpace()
  {
    while (pos_ < input_.size() && std::isspace(static_cast<unsigned char>(input_[pos_]))) {
      ++pos_;
    }
  }

  bool peekIs(char c)
  {
    skipSpace();
    return pos_ < input_.size() && input_[pos_] == c;
  }

  bool accept(char c)
  {
    if (peekIs(c)) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool expect(char c, std::string & error)
  {
    if (accept(c)) {
      return true;
    }
    error = fail(std::string("expected '") + c + "'");
    return false;
  }

  std::string fail(const std::string & what) const
  {
    return what + " at position " + std::to_string(pos_);
  }

  const std::string & input_;
  size_t pos_{0};
};
}  // namespace

std::vector<std::vector<float>> parseVVF(const std::string & input, std::string & error_return)
{
  std::vector<std::vector<float>> result;
  VvfReader reader(input);
  if (!reader.read(result, error_return)) {
    result.clear();
  }
  return result;
}

}  // namespace nav2_costmap_2d
