"""Generates the worlds into a temporary folder and checks them as the simulator would meet them:
valid maps, passages as wide as declared, routes the robot's outline can drive without touching
an obstacle, and scenarios with everything the runner needs."""

import json
import math
import os
import subprocess
import sys
import tempfile
import unittest

import world_layouts

GENERATOR = os.path.join(os.path.dirname(world_layouts.__file__), "generate_worlds.py")
RESOLUTION = 0.05
# The robot's outline (0.6 m x 0.5 m) plus its 0.01 m padding, as half extents.
HALF_LENGTH = 0.30 + 0.01
HALF_WIDTH = 0.25 + 0.01
STEP = 0.025                 # metres between checked poses along a segment
TURN_STEP = math.radians(2)  # radians between checked headings when turning on the spot
RUNNER_GOAL_KEYS = {
    "name", "controller_id", "controller_frequency", "path", "frame_id", "relative_to_base",
    "run_mode", "speed_limit_percent", "finished", "precise_goal_reaching", "backward",
    "stop_in_place", "fine_goal_reach", "tolerance", "expect", "timeout", "cancel_after",
    "preempt_after", "path_spacing", "max_velocity", "near_destination", "extra_goals"}
FOLLOWERS = {"dwb_controller", "teb_controller", "pid_controller"}
WAREHOUSE_HALL = (13.5, 14.8)  # the built-in warehouse west of its partition, south of its wall


class Grid:
    """A map read back from its PGM: which cells are occupied, row 0 at the bottom."""

    def __init__(self, pgm_path):
        with open(pgm_path, "rb") as pgm:
            data = pgm.read()
        fields = []
        position = 0
        while len(fields) < 4:
            end = data.index(b"\n", position)
            line = data[position:end]
            position = end + 1
            if not line.startswith(b"#"):
                fields += line.split()
        if fields[0] != b"P5" or fields[3] != b"255":
            raise ValueError("%s: not an 8-bit binary PGM" % pgm_path)
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[position:]
        if len(self.pixels) != self.width * self.height:
            raise ValueError("%s: %d pixels for %d x %d" % (
                pgm_path, len(self.pixels), self.width, self.height))

    def value(self, column, row):
        return self.pixels[(self.height - 1 - row) * self.width + column]

    def occupied(self, column, row):
        outside = not (0 <= column < self.width and 0 <= row < self.height)
        return outside or self.value(column, row) == 0

    def cell_of(self, x, y):
        return int(math.floor(x / RESOLUTION)), int(math.floor(y / RESOLUTION))

    def free_run(self, point, axis):
        """Metres of free cells in a line through `point` along `axis`."""
        column, row = self.cell_of(*point)
        step = (1, 0) if axis == "x" else (0, 1)
        count = 0 if self.occupied(column, row) else 1
        for sign in (1, -1):
            c, r = column + sign * step[0], row + sign * step[1]
            while count and not self.occupied(c, r):
                count += 1
                c, r = c + sign * step[0], r + sign * step[1]
        return count * RESOLUTION

    def footprint_hits(self, x, y, yaw):
        """Occupied cells the padded outline at (x, y, yaw) overlaps (separating axes)."""
        cos, sin = abs(math.cos(yaw)), abs(math.sin(yaw))
        reach_x = HALF_LENGTH * cos + HALF_WIDTH * sin
        reach_y = HALF_LENGTH * sin + HALF_WIDTH * cos
        half_cell = RESOLUTION / 2.0
        cell_reach = half_cell * (cos + sin)
        hits = []
        first, last = self.cell_of(x - reach_x, y - reach_y), self.cell_of(x + reach_x, y + reach_y)
        for row in range(first[1], last[1] + 1):
            for column in range(first[0], last[0] + 1):
                if not self.occupied(column, row):
                    continue
                dx = (column + 0.5) * RESOLUTION - x
                dy = (row + 0.5) * RESOLUTION - y
                along = abs(dx * math.cos(yaw) + dy * math.sin(yaw))
                across = abs(-dx * math.sin(yaw) + dy * math.cos(yaw))
                if (abs(dx) < reach_x + half_cell - 1e-9 and abs(dy) < reach_y + half_cell - 1e-9
                        and along < HALF_LENGTH + cell_reach - 1e-9
                        and across < HALF_WIDTH + cell_reach - 1e-9):
                    hits.append((column, row))
        return hits


def read_map_yaml(path):
    with open(path) as text:
        return dict(line.split(": ", 1) for line in text.read().splitlines() if line)


def parse_value(text):
    try:
        return json.loads(text)
    except ValueError:
        return text


def parse_scenario(path):
    """The scenario as {start_pose, goals: [{field: value}]}, read from the block layout the
    generator writes; flow lists, numbers, booleans and quoted names read as JSON."""
    scenario = {"goals": []}
    with open(path) as text:
        for line in text.read().splitlines():
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("  - "):
                scenario["goals"].append({})
                line = "    " + line[4:]
            key, _, value = line.strip().partition(":")
            if line.startswith("    "):
                scenario["goals"][-1][key] = parse_value(value.strip())
            elif key != "goals":
                scenario[key] = parse_value(value.strip())
    return scenario


def turn_poses(x, y):
    """A full turn on the spot, whichever way the controller turns."""
    return [(x, y, i * TURN_STEP) for i in range(int(2 * math.pi / TURN_STEP) + 1)]


def swept_poses(scenario):
    """Every pose the robot takes following the scenario's paths: turning on the spot where the
    heading changes, moving along each segment with the heading of the pose it leaves."""
    x, y, yaw = scenario["start_pose"]
    poses = [(x, y, yaw)]
    for goal in scenario["goals"]:
        for next_x, next_y, next_yaw in goal["path"]:
            length = math.hypot(next_x - x, next_y - y)
            steps = int(math.ceil(length / STEP))
            poses += [(x + (next_x - x) * i / steps, y + (next_y - y) * i / steps, yaw)
                      for i in range(1, steps + 1)]
            x, y = next_x, next_y
            if abs(math.remainder(next_yaw - yaw, 2 * math.pi)) > 1e-6:
                poses += turn_poses(x, y)
            yaw = next_yaw
    return poses


def route_length(path):
    return sum(math.dist(a[:2], b[:2]) for a, b in zip(path, path[1:]))


def installed_warehouse_map():
    for prefix in os.environ.get("AMENT_PREFIX_PATH", "").split(os.pathsep):
        path = os.path.join(prefix, "share", "velmora_nav2_gridmap", "maps", "warehouse.pgm")
        if prefix and os.path.exists(path):
            return path
    raise unittest.SkipTest("velmora_nav2_gridmap's warehouse map is not installed")


class GeneratedWorldsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.out = cls.folder.name
        subprocess.run([sys.executable, GENERATOR, cls.out], check=True)
        cls.worlds = world_layouts.all_worlds()
        cls.grids = {world.name: Grid(os.path.join(cls.out, "worlds", world.name + ".pgm"))
                     for world in cls.worlds}
        with open(os.path.join(cls.out, "manifest.tsv")) as manifest:
            cls.manifest = [line.rstrip("\n").split("\t") for line in manifest]
        cls.scenarios = {path: parse_scenario(os.path.join(cls.out, path))
                         for path, _ in cls.manifest}

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def world_scenarios(self, world_name):
        return {path: scenario for (path, map_yaml), scenario in
                zip(self.manifest, self.scenarios.values())
                if map_yaml == "worlds/%s.yaml" % world_name}

    # --- maps -----------------------------------------------------------------------------

    def test_maps_are_map_server_maps_the_size_of_their_world(self):
        for world in self.worlds:
            with self.subTest(world=world.name):
                fields = read_map_yaml(os.path.join(self.out, "worlds", world.name + ".yaml"))
                self.assertEqual(fields["image"], world.name + ".pgm")
                self.assertEqual(float(fields["resolution"]), RESOLUTION)
                self.assertEqual(json.loads(fields["origin"]), [0.0, 0.0, 0.0])
                self.assertEqual(
                    (fields["mode"], fields["negate"], fields["occupied_thresh"],
                     fields["free_thresh"]), ("trinary", "0", "0.65", "0.196"))
                grid = self.grids[world.name]
                self.assertEqual((grid.width, grid.height), (world.grid.width, world.grid.height))
                self.assertEqual(set(grid.pixels), {0, 254})

    def test_every_world_is_walled_in(self):
        wall = int(round(world_layouts.WALL / RESOLUTION))
        for world in self.worlds:
            grid = self.grids[world.name]
            band = range(wall)
            border = [(c, edge) for c in range(grid.width) for depth in band
                      for edge in (depth, grid.height - 1 - depth)] + \
                     [(edge, r) for r in range(grid.height) for depth in band
                      for edge in (depth, grid.width - 1 - depth)]
            with self.subTest(world=world.name):
                self.assertTrue(all(grid.occupied(c, r) for c, r in border))

    def test_passages_are_as_wide_as_declared(self):
        for world in self.worlds:
            for passage in world.passages:
                with self.subTest(world=world.name, passage=passage.name):
                    self.assertAlmostEqual(
                        self.grids[world.name].free_run(passage.point, passage.axis),
                        passage.width, places=6)

    def test_door_widths_cover_the_robot_with_0_3_0_5_and_0_7_m_to_spare(self):
        doors = next(world for world in self.worlds if world.name == "doors")
        self.assertEqual(sorted(round(p.width, 2) for p in doors.passages), [0.8, 1.0, 1.2])

    def test_pillar_stands_free_beside_the_widest_doors_approach(self):
        grid = self.grids["doors"]
        (x_min, x_max), (y_min, y_max) = world_layouts.DOOR_PILLAR
        self.assertAlmostEqual(grid.free_run(((x_min + x_max) / 2, y_min - 0.1), "y"),
                               y_min - world_layouts.WALL, places=6)
        self.assertTrue(grid.occupied(*grid.cell_of((x_min + x_max) / 2, (y_min + y_max) / 2)))
        self.assertAlmostEqual(x_max - x_min, 0.3)
        wall_x, width = world_layouts.DOORS[-1]
        self.assertEqual(width, 1.2)
        self.assertLess(wall_x - x_max, 1.0)
        self.assertLess(y_min - (world_layouts.DOORS_CENTRE_Y + width / 2), 0.5)

    def test_large_world_is_at_least_100_m_square(self):
        grid = self.grids["warehouse_large"]
        self.assertGreaterEqual(grid.width * RESOLUTION, 100.0)
        self.assertGreaterEqual(grid.height * RESOLUTION, 100.0)

    def test_large_worlds_corner_is_the_warehouse_shelving_hall(self):
        grid = self.grids["warehouse_large"]
        for y in (2.6, 5.4, 8.2, 11.0):
            self.assertTrue(grid.occupied(*grid.cell_of(2.0 + 0.01, y + 0.01)))
            self.assertTrue(grid.occupied(*grid.cell_of(11.0 - 0.01, y + 0.8 - 0.01)))
            self.assertFalse(grid.occupied(*grid.cell_of(11.0 + 0.01, y + 0.4)))
            self.assertAlmostEqual(grid.free_run((7.0, y - 0.01), "y"), 2.0 if y > 3 else 2.4)
        warehouse = Grid(installed_warehouse_map())
        columns, rows = (int(round(metres / RESOLUTION)) for metres in WAREHOUSE_HALL)
        differing = [(c, r) for r in range(rows) for c in range(columns)
                     if grid.occupied(c, r) != warehouse.occupied(c, r)]
        self.assertEqual(differing, [])

    # --- routes -----------------------------------------------------------------------------

    def test_route_segments_are_axis_aligned_and_as_narrow_as_declared(self):
        for world in self.worlds:
            grid = self.grids[world.name]
            for route in world.routes:
                narrowest = math.inf
                for a, b in zip(route.waypoints, route.waypoints[1:]):
                    with self.subTest(world=world.name, route=route.name, segment=(a, b)):
                        self.assertTrue(a[0] == b[0] or a[1] == b[1])
                    across = "y" if a[1] == b[1] else "x"
                    steps = int(round(math.dist(a, b) / RESOLUTION))
                    for i in range(steps + 1):
                        point = (a[0] + (b[0] - a[0]) * i / steps, a[1] + (b[1] - a[1]) * i / steps)
                        narrowest = min(narrowest, grid.free_run(point, across))
                with self.subTest(world=world.name, route=route.name):
                    self.assertAlmostEqual(narrowest, route.clearance, places=6)

    def test_hall_route_gaps_are_at_least_1_1_m(self):
        hall = next(world for world in self.worlds if world.name == "cluttered_hall")
        self.assertGreaterEqual(hall.routes[0].clearance, 1.1)
        self.assertGreaterEqual(len(hall.passages), 4)

    def test_robot_outline_never_covers_an_obstacle_along_any_scenario(self):
        for path, map_yaml in self.manifest:
            grid = self.grids[os.path.splitext(os.path.basename(map_yaml))[0]]
            poses = swept_poses(self.scenarios[path])
            hits = [(pose, grid.footprint_hits(*pose)) for pose in poses]
            with self.subTest(scenario=path):
                self.assertEqual([hit for hit in hits if hit[1]][:1], [])

    def test_outline_check_sees_a_wall_at_the_robots_side(self):
        # A robot 0.2 m from the doors world's outer wall overlaps it; 0.3 m away it does not.
        grid = self.grids["doors"]
        wall = world_layouts.WALL
        self.assertTrue(grid.footprint_hits(3.0, wall + HALF_WIDTH - 0.06, 0.0))
        self.assertFalse(grid.footprint_hits(3.0, wall + HALF_WIDTH + 0.01, 0.0))
        self.assertTrue(grid.footprint_hits(3.0, wall + HALF_LENGTH - 0.06, math.pi / 2))

    # --- scenarios --------------------------------------------------------------------------

    def test_manifest_lists_every_scenario_with_its_existing_map_in_a_stable_order(self):
        files = set(os.listdir(os.path.join(self.out, "scenarios")))
        self.assertEqual({os.path.basename(path) for path, _ in self.manifest}, files)
        for path, map_yaml in self.manifest:
            self.assertTrue(os.path.isfile(os.path.join(self.out, path)))
            self.assertTrue(os.path.isfile(os.path.join(self.out, map_yaml)))
        with tempfile.TemporaryDirectory() as again:
            subprocess.run([sys.executable, GENERATOR, again], check=True)
            with open(os.path.join(again, "manifest.tsv")) as manifest:
                self.assertEqual([line.rstrip("\n").split("\t") for line in manifest],
                                 self.manifest)

    def test_generator_refuses_a_call_without_an_output_folder(self):
        result = subprocess.run([sys.executable, GENERATOR], capture_output=True)
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"usage", result.stderr)

    def test_scenarios_hold_what_the_runner_needs(self):
        for path, scenario in self.scenarios.items():
            with self.subTest(scenario=path):
                self.assertEqual(len(scenario["start_pose"]), 3)
                self.assertTrue(scenario["goals"])
                for goal in scenario["goals"]:
                    self.assertLessEqual(set(goal), RUNNER_GOAL_KEYS)
                    self.assertEqual(
                        (goal["controller_frequency"], goal["finished"], goal["expect"]),
                        (20, True, "SUCCEEDED"))
                    self.assertTrue(all(len(pose) == 3 for pose in goal["path"]))
                    # Besides its own controller's goals, a scenario holds only turns on the
                    # spot of the lateral move controller.
                    if goal["controller_id"] != path.split("-")[1]:
                        self.assertEqual(goal["controller_id"], "lateral_move_controller")
                        self.assertEqual(goal["path"][0][:2], goal["path"][-1][:2])
                    self.assertGreaterEqual(
                        goal["timeout"], 4 * route_length(goal["path"]) / 0.25 + 30 - 1e-6)
                    self.assertIn(goal["controller_id"], goal["name"])

    def test_paths_face_along_their_segments_at_5_cm_spacing(self):
        for path, scenario in self.scenarios.items():
            for goal in scenario["goals"]:
                if goal["controller_id"] == "lateral_move_controller":
                    continue
                poses = goal["path"]
                with self.subTest(scenario=path, goal=goal["name"]):
                    self.assertEqual(goal["path_spacing"], 0.05)
                    headings = [math.atan2(b[1] - a[1], b[0] - a[0])
                                for a, b in zip(poses, poses[1:])]
                    for pose, expected in zip(poses, headings + headings[-1:]):
                        self.assertAlmostEqual(
                            math.remainder(pose[2] - expected, 2 * math.pi), 0.0, places=3)

    def test_every_route_goes_there_and_back_with_each_follower(self):
        offsets = set()
        for world in self.worlds:
            scenarios = self.world_scenarios(world.name)
            for route in world.routes:
                for controller in FOLLOWERS:
                    name = "scenarios/%s-%s-%s.yaml" % (world.name, controller, route.name)
                    with self.subTest(scenario=name):
                        goals = scenarios[name]["goals"]
                        there, back = [g for g in goals if g["controller_id"] == controller]
                        self.assertEqual([p[:2] for p in there["path"]], route.waypoints)
                        self.assertEqual([p[:2] for p in back["path"]],
                                         list(reversed(route.waypoints)))
                        self.assertEqual(scenarios[name]["start_pose"][:2], route.waypoints[0])
                        offset = math.degrees(math.remainder(
                            scenarios[name]["start_pose"][2] - there["path"][0][2], 2 * math.pi))
                        offsets.add(round(abs(offset)))
                        # The back goal starts behind the robot.
                        self.assertAlmostEqual(abs(math.remainder(
                            back["path"][0][2] - there["path"][-1][2], 2 * math.pi)), math.pi,
                            places=3)
                        options = {"dwb_controller": ("speed_limit_percent", 0.4),
                                   "teb_controller": ("max_velocity", [0.4, 0.3, 0.8])}
                        for goal in (there, back):
                            if controller in options:
                                key, value = options[controller]
                                self.assertEqual(goal[key], value)
                            self.assertIn(world.name, goal["name"])
                            self.assertIn(route.name, goal["name"])
        self.assertEqual(offsets, {0, 90, 180})

    def test_dwb_goals_are_preceded_by_a_turn_to_face_their_path(self):
        for path, scenario in self.scenarios.items():
            if "-dwb_controller-" not in path:
                continue
            goals = scenario["goals"]
            with self.subTest(scenario=path):
                self.assertEqual([g["controller_id"] for g in goals],
                                 ["lateral_move_controller", "dwb_controller"] * 2)
                for turn, follow in zip(goals[::2], goals[1::2]):
                    self.assertEqual(turn["path"][-1], follow["path"][0])

    def test_straight_routes_are_also_driven_straight_only_and_sideways(self):
        straight_routes = 0
        for world in self.worlds:
            scenarios = self.world_scenarios(world.name)
            for route in world.routes:
                prefix = "scenarios/%s-%%s-%s" % (world.name, route.name)
                straight_only = [prefix % "pid_controller_straight_only" + "-%s.yaml" % way
                                 for way in ("there", "back")]
                lateral = prefix % "lateral_move_controller" + ".yaml"
                if len(route.waypoints) != 2:
                    self.assertNotIn(lateral, scenarios)
                    continue
                straight_routes += 1
                with self.subTest(route=route.name):
                    for name, ends in zip(straight_only, (route.waypoints, route.waypoints[::-1])):
                        (goal,) = scenarios[name]["goals"]
                        self.assertEqual([p[:2] for p in goal["path"]], ends)
                        self.assertEqual(scenarios[name]["start_pose"], goal["path"][0])
                    there, back = scenarios[lateral]["goals"]
                    self.assertEqual([p[:2] for p in there["path"]], route.waypoints)
                    self.assertEqual(back["path"], there["path"][::-1])
                    yaws = {pose[2] for goal in (there, back) for pose in goal["path"]}
                    self.assertEqual(yaws, {scenarios[lateral]["start_pose"][2]})
                    self.assertNotIn("path_spacing", there)
        self.assertGreaterEqual(straight_routes, 3)


if __name__ == "__main__":
    unittest.main()
