// The cells LineIterator walks: both ends included, one cell per step along the longer axis.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "nav2_util/line_iterator.hpp"

namespace
{

using Cells = std::vector<std::pair<int, int>>;

Cells walk(int x0, int y0, int x1, int y1)
{
  Cells cells;
  for (nav2_util::LineIterator line(x0, y0, x1, y1); line.isValid(); line.advance()) {
    cells.emplace_back(line.getX(), line.getY());
  }
  return cells;
}

TEST(LineIterator, WalksStraightLinesCellByCellInEitherDirection)
{
  EXPECT_EQ(walk(2, 3, 5, 3), (Cells{{2, 3}, {3, 3}, {4, 3}, {5, 3}}));
  EXPECT_EQ(walk(1, 4, 1, 1), (Cells{{1, 4}, {1, 3}, {1, 2}, {1, 1}}));
  EXPECT_EQ(walk(-1, -1, 2, 2), (Cells{{-1, -1}, {0, 0}, {1, 1}, {2, 2}}));
  EXPECT_EQ(walk(3, 0, 0, 3), (Cells{{3, 0}, {2, 1}, {1, 2}, {0, 3}}));
}

TEST(LineIterator, SlopesStepTheShorterAxisHalfWayThroughEachRun)
{
  // Shallow: five steps in x, two in y.
  EXPECT_EQ(walk(0, 0, 5, 2), (Cells{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}));
  EXPECT_EQ(walk(5, 2, 0, 0), (Cells{{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}, {0, 0}}));
  // Steep: three steps in y, one in x.
  EXPECT_EQ(walk(0, 0, 1, 3), (Cells{{0, 0}, {0, 1}, {1, 2}, {1, 3}}));
}

TEST(LineIterator, APointIsOneCellAndTheEndsAreKept)
{
  EXPECT_EQ(walk(4, 4, 4, 4), (Cells{{4, 4}}));
  nav2_util::LineIterator line(7, -2, 3, 9);
  line.advance();
  EXPECT_EQ(line.getX0(), 7);
  EXPECT_EQ(line.getY0(), -2);
  EXPECT_EQ(line.getX1(), 3);
  EXPECT_EQ(line.getY1(), 9);
  EXPECT_EQ(walk(7, -2, 3, 9).size(), 12u);
  EXPECT_EQ(walk(7, -2, 3, 9).back(), std::make_pair(3, 9));
}

}  // namespace
