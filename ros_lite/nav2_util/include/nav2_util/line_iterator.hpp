#ifndef NAV2_UTIL__LINE_ITERATOR_HPP_
#define NAV2_UTIL__LINE_ITERATOR_HPP_

#include <cstdlib>

namespace nav2_util
{

// Walks the grid cells of the straight line from (x0, y0) to (x1, y1), both ends included, one
// cell per step along the longer axis (Bresenham):
//   for (LineIterator line(x0, y0, x1, y1); line.isValid(); line.advance()) {
//     visit(line.getX(), line.getY());
//   }
class LineIterator
{
public:
  LineIterator(int x0, int y0, int x1, int y1)
  : x0_(x0), y0_(y0), x1_(x1), y1_(y1), x_(x0), y_(y0),
    deltax_(std::abs(x1 - x0)), deltay_(std::abs(y1 - y0)), curpixel_(0)
  {
    // Every step moves along the longer axis (the *inc2 steps); the shorter axis moves (the
    // *inc1 steps) whenever the accumulated numerator reaches the denominator.
    const int xdir = x1_ >= x0_ ? 1 : -1;
    const int ydir = y1_ >= y0_ ? 1 : -1;
    if (deltax_ >= deltay_) {
      xinc1_ = 0;
      xinc2_ = xdir;
      yinc1_ = ydir;
      yinc2_ = 0;
      den_ = deltax_;
      num_ = deltax_ / 2;
      numadd_ = deltay_;
      numpixels_ = deltax_;
    } else {
      xinc1_ = xdir;
      xinc2_ = 0;
      yinc1_ = 0;
      yinc2_ = ydir;
      den_ = deltay_;
      num_ = deltay_ / 2;
      numadd_ = deltax_;
      numpixels_ = deltay_;
    }
  }

  // True until the iterator has stepped past the end point.
  bool isValid() const
  {
    return curpixel_ <= numpixels_;
  }

  void advance()
  {
    num_ += numadd_;
    if (num_ >= den_) {
      num_ -= den_;
      x_ += xinc1_;
      y_ += yinc1_;
    }
    x_ += xinc2_;
    y_ += yinc2_;
    curpixel_++;
  }

  int getX() const {return x_;}
  int getY() const {return y_;}
  int getX0() const {return x0_;}
  int getY0() const {return y0_;}
  int getX1() const {return x1_;}
  int getY1() const {return y1_;}

private:
  int x0_, y0_, x1_, y1_;
  int x_, y_;
  int deltax_, deltay_;
  int curpixel_;
  int xinc1_, xinc2_, yinc1_, yinc2_;
  int den_, num_, numadd_, numpixels_;
};

}  // namespace nav2_util

#endif  // NAV2_UTIL__LINE_ITERATOR_HPP_
