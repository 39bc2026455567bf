#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"

using velmora_nav2_gridmap::MapLoadError;
using velmora_nav2_gridmap::OccupancyMap;
using velmora_nav2_gridmap::OccupancyMapLoader;

namespace
{
constexpr int8_t kFree = OccupancyMap::kFree;
constexpr int8_t kOccupied = OccupancyMap::kOccupied;
constexpr int8_t kUnknown = OccupancyMap::kUnknown;

// A scratch directory of map files, removed with the fixture.
class MapFilesTest : public ::testing::Test
{
protected:
  MapFilesTest()
  {
    char pattern[] = "/tmp/velmora_map_test_XXXXXX";
    dir_ = mkdtemp(pattern);
  }

  ~MapFilesTest() override
  {
    std::system(("rm -rf " + dir_).c_str());
  }

  std::string write(const std::string & name, const std::string & content) const
  {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  // Binary 8-bit PGM, rows from the top.
  std::string writeP5(const std::string & name, unsigned int width, unsigned int height,
    const std::vector<unsigned char> & pixels) const
  {
    return write(
      name, "P5\n# test image\n" + std::to_string(width) + " " + std::to_string(height) +
      "\n255\n" + std::string(pixels.begin(), pixels.end()));
  }

  // A YAML file from fields; a field mapped to "" is left out.
  std::string writeYaml(std::map<std::string, std::string> overrides = {}) const
  {
    std::map<std::string, std::string> fields = {
      {"image", "map.pgm"}, {"resolution", "0.1"}, {"origin", "[-1.0, 2.0, 0.0]"},
      {"occupied_thresh", "0.65"}, {"free_thresh", "0.196"}, {"negate", "0"},
      {"mode", "trinary"}};
    for (const auto & [key, value] : overrides) {
      fields[key] = value;
    }
    std::string text;
    for (const auto & [key, value] : fields) {
      if (!value.empty()) {
        text += key + ": " + value + "\n";
      }
    }
    return write("map.yaml", text);
  }

  // 3 x 2 image: top row black, white, mid-grey; bottom row unknown-grey, 128, white.
  void writeStandardImage() const
  {
    writeP5("map.pgm", 3, 2, {0, 255, 128, 205, 100, 254});
  }

  // Loading must fail with a message naming every given fragment.
  void expectLoadError(const std::string & yaml, const std::vector<std::string> & fragments)
  {
    try {
      OccupancyMapLoader::load(yaml);
      ADD_FAILURE() << "no error for " << yaml;
    } catch (const MapLoadError & e) {
      for (const auto & fragment : fragments) {
        EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos)
          << "'" << fragment << "' not in: " << e.what();
      }
    }
  }

  std::string dir_;
};
}  // namespace

TEST_F(MapFilesTest, LoadsGeometryAndFlipsRowsToTheBottomUp)
{
  writeStandardImage();
  const OccupancyMap map = OccupancyMapLoader::load(writeYaml());
  EXPECT_EQ(map.width, 3u);
  EXPECT_EQ(map.height, 2u);
  EXPECT_DOUBLE_EQ(map.resolution, 0.1);
  EXPECT_DOUBLE_EQ(map.origin_x, -1.0);
  EXPECT_DOUBLE_EQ(map.origin_y, 2.0);
  // Row 0 is the image's bottom line.
  const std::vector<int8_t> expected = {kUnknown, kUnknown, kFree, kOccupied, kFree, kUnknown};
  EXPECT_EQ(map.data, expected);

  const nav2_costmap_2d::Costmap2D costmap = map.toCostmap();
  EXPECT_EQ(costmap.getCost(0, 1), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(costmap.getCost(2, 0), nav2_costmap_2d::FREE_SPACE);
  EXPECT_EQ(costmap.getCost(0, 0), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_DOUBLE_EQ(costmap.getOriginX(), -1.0);
  EXPECT_DOUBLE_EQ(costmap.getResolution(), 0.1);
}

TEST_F(MapFilesTest, NegateSwapsBlackAndWhite)
{
  writeStandardImage();
  for (const std::string negate : {"1", "true"}) {
    const OccupancyMap map = OccupancyMapLoader::load(writeYaml({{"negate", negate}}));
    const std::vector<int8_t> expected =
    {kOccupied, kUnknown, kOccupied, kFree, kOccupied, kUnknown};
    EXPECT_EQ(map.data, expected) << negate;
  }
}

TEST_F(MapFilesTest, ThresholdsDecideBetweenFreeUnknownAndOccupied)
{
  // Pixel 128: occupancy 0.498; pixel 100: 0.608.
  writeStandardImage();
  OccupancyMap map = OccupancyMapLoader::load(writeYaml({{"occupied_thresh", "0.45"}}));
  EXPECT_EQ(map.data[1], kOccupied);   // 100
  EXPECT_EQ(map.data[5], kOccupied);   // 128
  map = OccupancyMapLoader::load(
    writeYaml({{"occupied_thresh", "0.55"}, {"free_thresh", "0.5"}}));
  EXPECT_EQ(map.data[1], kOccupied);
  EXPECT_EQ(map.data[5], kFree);
  map = OccupancyMapLoader::load(writeYaml({{"occupied_thresh", "0.9"}, {"free_thresh", "0.7"}}));
  EXPECT_EQ(map.data[0], kFree);       // 205: 0.196
  EXPECT_EQ(map.data[1], kFree);
  EXPECT_EQ(map.data[3], kOccupied);   // 0: 1.0
}

TEST_F(MapFilesTest, ReadsPlainTextAndSixteenBitImages)
{
  write("map.pgm", "P2\n# plain\n2 2\n# max value\n15\n0 15\n 7\n15\n");
  OccupancyMap map = OccupancyMapLoader::load(writeYaml());
  EXPECT_EQ(map.data, (std::vector<int8_t>{kUnknown, kFree, kOccupied, kFree}));

  std::string wide = "P5 2 1 65535\n";
  wide += std::string("\x00\x00\xff\xff", 4);
  write("map.pgm", wide);
  map = OccupancyMapLoader::load(writeYaml());
  EXPECT_EQ(map.data, (std::vector<int8_t>{kOccupied, kFree}));
}

TEST_F(MapFilesTest, ImagePathsAreRelativeToTheYamlOrAbsolute)
{
  ASSERT_EQ(system(("mkdir -p " + dir_ + "/images").c_str()), 0);
  writeP5("images/floor.pgm", 1, 1, {0});
  EXPECT_EQ(OccupancyMapLoader::load(writeYaml({{"image", "images/floor.pgm"}})).data[0], kOccupied);
  EXPECT_EQ(
    OccupancyMapLoader::load(writeYaml({{"image", dir_ + "/images/floor.pgm"}})).data[0],
    kOccupied);
}

TEST_F(MapFilesTest, MissingFilesAreNamed)
{
  expectLoadError(dir_ + "/absent.yaml", {dir_ + "/absent.yaml", "cannot open"});
  expectLoadError(writeYaml({{"image", "absent.pgm"}}), {dir_ + "/absent.pgm", "cannot open"});
}

TEST_F(MapFilesTest, MissingFieldsAreNamedWithTheFile)
{
  writeStandardImage();
  for (const std::string field : {"image", "resolution", "origin", "occupied_thresh", "free_thresh"}) {
    SCOPED_TRACE(field);
    const std::string yaml = writeYaml({{field, ""}});
    expectLoadError(yaml, {yaml, "'" + field + "'", "missing"});
  }
  // The optional fields have defaults.
  EXPECT_EQ(OccupancyMapLoader::load(writeYaml({{"negate", ""}, {"mode", ""}})).width, 3u);
}

TEST_F(MapFilesTest, InvalidFieldValuesAreNamed)
{
  writeStandardImage();
  const std::vector<std::pair<std::string, std::string>> bad = {
    {"resolution", "-0.05"}, {"resolution", "fine"}, {"resolution", ".nan"},
    {"origin", "[1.0, 2.0]"}, {"origin", "3.0"}, {"origin", "[1, x, 0]"},
    {"occupied_thresh", "1.5"}, {"free_thresh", "0.8"}, {"negate", "maybe"},
    {"mode", "scale"}, {"image", "[a, b]"}};
  for (const auto & [field, value] : bad) {
    SCOPED_TRACE(field + ": " + value);
    const std::string yaml = writeYaml({{field, value}});
    expectLoadError(yaml, {yaml, "'" + field + "'"});
  }
  const std::string broken = write("broken.yaml", "image: [unclosed\n");
  expectLoadError(broken, {broken, "YAML"});
  const std::string list = write("list.yaml", "- image\n- resolution\n");
  expectLoadError(list, {list});
}

TEST_F(MapFilesTest, CorruptImagesAreReportedNotCrashedOn)
{
  const std::string image = dir_ + "/map.pgm";
  const std::vector<std::pair<std::string, std::string>> corrupt = {
    {"P5\n4 4\n255\n" + std::string(10, '\0'), "truncated"},
    {"P6\n1 1\n255\n" + std::string(3, '\0'), "P6"},
    {"GIF89a", "not a PGM"},
    {"", "not a PGM"},
    {"P5\n0 4\n255\n", "empty"},
    {"P5\n4\n", "expected the height"},
    {"P5\n1 1\n0\n\n", "maximum value"},
    {"P5\n99999 99999\n255\n", "too large"},
    {"P2\n2 1\n10\n3 11\n", "exceeds"},
    {"P2\n2 2\n10\n3 4 5\n", "truncated"},
    {"P5\n1 1\n200\n\xff", "exceeds"},
  };
  for (const auto & [content, fragment] : corrupt) {
    SCOPED_TRACE(fragment);
    write("map.pgm", content);
    expectLoadError(writeYaml(), {image, fragment});
  }
}

TEST(DefaultWorldTest, WarehouseFloorLoads)
{
  const OccupancyMap map = OccupancyMapLoader::load(
    velmora_nav2_gridmap::GridMapROS::defaultMapFile());
  EXPECT_EQ(map.width, 400u);
  EXPECT_EQ(map.height, 300u);
  EXPECT_DOUBLE_EQ(map.resolution, 0.05);
  const auto at = [&map](double x, double y) {
      return map.data[static_cast<size_t>(y / 0.05) * map.width + static_cast<size_t>(x / 0.05)];
    };
  EXPECT_EQ(at(0.1, 7.0), kOccupied);    // outer wall
  EXPECT_EQ(at(6.5, 3.0), kOccupied);    // first shelf row
  EXPECT_EQ(at(6.5, 4.4), kFree);        // aisle
  EXPECT_EQ(at(14.5, 8.0), kOccupied);   // partition
  EXPECT_EQ(at(14.5, 10.0), kFree);      // narrow corridor through it
  EXPECT_EQ(at(17.5, 3.0), kFree);       // loading room
}
