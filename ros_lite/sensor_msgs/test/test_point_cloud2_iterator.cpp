// The cloud layout the modifier writes and the field iterators that fill and read it.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "sensor_msgs/point_cloud2_iterator.hpp"

namespace
{

using sensor_msgs::msg::PointField;

TEST(PointCloud2Iterator, ModifierPacksFieldsAndIteratorsWriteAndReadEachPoint)
{
  sensor_msgs::msg::PointCloud2 cloud;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  // Packed without padding; the double first keeps every point's double aligned.
  modifier.setPointCloud2Fields(
    4, "range", 1, PointField::FLOAT64, "x", 1, PointField::FLOAT32, "ring", 1,
    PointField::UINT16, "flags", 1, PointField::UINT16);
  ASSERT_EQ(cloud.fields.size(), 4u);
  EXPECT_EQ(cloud.fields[1].offset, 8u);
  EXPECT_EQ(cloud.fields[2].offset, 12u);
  EXPECT_EQ(cloud.fields[3].offset, 14u);
  EXPECT_EQ(cloud.point_step, 16u);
  modifier.resize(3);
  EXPECT_EQ(modifier.size(), 3u);
  EXPECT_EQ(cloud.width, 3u);
  EXPECT_EQ(cloud.row_step, 48u);

  sensor_msgs::PointCloud2Iterator<float> x(cloud, "x");
  sensor_msgs::PointCloud2Iterator<double> range(cloud, "range");
  int written = 0;
  for (; x != x.end(); ++x, ++range, ++written) {
    *x = 1.5f * static_cast<float>(written);
    *range = -2.0 * written;
  }
  EXPECT_EQ(written, 3);

  // Read back through the raw bytes, then through the read-only iterator.
  float second_x = 0.0f;
  std::memcpy(&second_x, cloud.data.data() + cloud.point_step + 8, sizeof(float));
  EXPECT_FLOAT_EQ(second_x, 1.5f);
  const sensor_msgs::msg::PointCloud2 & readonly = cloud;
  sensor_msgs::PointCloud2ConstIterator<double> read_range(readonly, "range");
  EXPECT_DOUBLE_EQ(*(read_range + 2), -4.0);
  read_range += 1;
  EXPECT_DOUBLE_EQ(*read_range, -2.0);

  modifier.clear();
  EXPECT_EQ(modifier.size(), 0u);
  EXPECT_EQ(cloud.width, 0u);
}

TEST(PointCloud2Iterator, AMissingFieldOrUnknownTypeIsRefused)
{
  sensor_msgs::msg::PointCloud2 cloud;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2Fields(1, "x", 1, PointField::FLOAT32);
  EXPECT_THROW(sensor_msgs::PointCloud2Iterator<float>(cloud, "y"), std::runtime_error);
  EXPECT_THROW(sensor_msgs::PointCloud2Modifier::sizeOfPointField(42), std::runtime_error);
}

}  // namespace
