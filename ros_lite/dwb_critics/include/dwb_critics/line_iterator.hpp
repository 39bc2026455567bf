#ifndef DWB_CRITICS__LINE_ITERATOR_HPP_
#define DWB_CRITICS__LINE_ITERATOR_HPP_

#include <cstdlib>

namespace dwb_critics
{

// Walks the cells of a Bresenham line from (x0, y0) to (x1, y1), both ends included.
class LineIterator
{
public:
  LineIterator(int x0, int y0, int x1, int y1)
  : x_(x0), y_(y0), x1_(x1), y1_(y1),
    dx_(std::abs(x1 - x0)), dy_(-std::abs(y1 - y0)),
    step_x_(x0 < x1 ? 1 : -1), step_y_(y0 < y1 ? 1 : -1),
    error_(dx_ + dy_), done_(false)
  {}

  bool isValid() const {return !done_;}
  int getX() const {return x_;}
  int getY() const {return y_;}

  void advance()
  {
    if (x_ == x1_ && y_ == y1_) {
      done_ = true;
      return;
    }
    const int doubled_error = 2 * error_;
    if (doubled_error >= dy_) {
      error_ += dy_;
      x_ += step_x_;
    }
    if (doubled_error <= dx_) {
      error_ += dx_;
      y_ += step_y_;
    }
  }

private:
  int x_, y_;
  const int x1_, y1_;
  const int dx_, dy_;
  const int step_x_, step_y_;
  int error_;
  bool done_;
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__LINE_ITERATOR_HPP_
