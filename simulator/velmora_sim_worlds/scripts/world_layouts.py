"""The test worlds: their floors, the routes driven through them and the passages they declare.

Coordinates are metres in the map frame (x east, y north, origin at the map's lower-left corner).
Every edge lies on a 0.05 m cell boundary, so widths measured on the grid are exact. Each world
is solid outside the floor carved into it, which leaves a 0.2 m outer wall at least.
"""

from collections import namedtuple

from occupancy_grid import OccupancyGrid

WALL = 0.2

# A route through the world: waypoints [x, y] along free centre lines, the first being the start;
# how far the robot's start heading is turned from the route's first segment; and `clearance`,
# the narrowest free width across the route, measured square to its segments.
Route = namedtuple("Route", "name waypoints start_offset_deg clearance")

# A door or corridor: at `point` the free run of cells across the passage, along `axis` ("x" or
# "y"), is `width` metres.
Passage = namedtuple("Passage", "name point axis width")

World = namedtuple("World", "name grid routes passages")


# Rooms in a row along x, parted by 0.2 m walls with doors of 0.8, 1.0 and 1.2 m on the line
# y = DOORS_CENTRE_Y. The 1.2 m door has a 0.3 m pillar beside its western approach.
DOORS_SIZE = (16.4, 6.4)
DOORS_CENTRE_Y = 3.2
DOORS = ((4.2, 0.8), (8.2, 1.0), (12.2, 1.2))  # (west face of the wall, door width)
DOOR_PILLAR = ((11.3, 11.6), (4.0, 4.3))


def doors_world():
    grid = OccupancyGrid(*DOORS_SIZE)
    room_west = WALL
    for wall_x, _ in DOORS:
        grid.carve((room_west, wall_x), (WALL, DOORS_SIZE[1] - WALL))
        room_west = wall_x + WALL
    grid.carve((room_west, DOORS_SIZE[0] - WALL), (WALL, DOORS_SIZE[1] - WALL))
    routes = []
    passages = []
    for (wall_x, width), offset in zip(DOORS, (0, 90, 180)):
        half = width / 2.0
        grid.carve((wall_x, wall_x + WALL), (DOORS_CENTRE_Y - half, DOORS_CENTRE_Y + half))
        name = "door_%s" % ("%.1f" % width).replace(".", "_")
        middle = round(wall_x + WALL / 2.0, 3)
        # From the middle of the room before the door to the middle of the room after it.
        routes.append(Route(name, [[round(middle - 2.0, 3), DOORS_CENTRE_Y],
                                   [round(middle + 2.0, 3), DOORS_CENTRE_Y]], offset, width))
        passages.append(Passage(name, (middle, DOORS_CENTRE_Y), "y", width))
    grid.block(*DOOR_PILLAR)
    return World("doors", grid, routes, passages)


# A room in the south-west, a 1.1 m corridor east, one bend, north into a room.
L_WIDTH = 1.1


def l_corridor_world():
    grid = OccupancyGrid(12.4, 10.4)
    grid.carve((WALL, 4.2), (WALL, 4.2))
    grid.carve((4.2, 9.35), (1.65, 2.75))
    grid.carve((8.25, 9.35), (1.65, 6.4))
    grid.carve((6.2, 12.2), (6.4, 10.2))
    route = Route("through", [[2.2, 2.2], [8.8, 2.2], [8.8, 8.3]], 180, L_WIDTH)
    passages = [
        Passage("east leg", (6.5, 2.2), "y", L_WIDTH),
        Passage("north leg", (8.8, 4.5), "x", L_WIDTH),
    ]
    return World("l_corridor", grid, [route], passages)


# A room in the south-west, a 1.2 m corridor east, north, then west into a room in the
# north-west: two bends round a solid core.
U_WIDTH = 1.2


def u_corridor_world():
    grid = OccupancyGrid(12.4, 12.4)
    grid.carve((WALL, 3.8), (WALL, 3.8))
    grid.carve((3.8, 10.0), (1.4, 2.6))
    grid.carve((8.8, 10.0), (1.4, 10.0))
    grid.carve((3.8, 10.0), (8.8, 10.0))
    grid.carve((WALL, 3.8), (7.4, 12.2))
    route = Route("through", [[2.0, 2.0], [9.4, 2.0], [9.4, 9.4], [2.0, 9.4]], 90,
                  U_WIDTH)
    passages = [
        Passage("south leg", (6.5, 2.0), "y", U_WIDTH),
        Passage("east leg", (9.4, 5.7), "x", U_WIDTH),
        Passage("north leg", (6.5, 9.4), "y", U_WIDTH),
    ]
    return World("u_corridor", grid, [route], passages)


# An open hall with boxes to weave between: each leg of the route passes between a pair of
# boxes, 1.1 m apart on most legs and 1.3 m on the last; a few more boxes stand off the route.
HALL_GAP = 1.1
HALL_BOXES = (
    ((2.0, 3.6), (5.75, 7.0)), ((2.2, 3.4), (3.6, 4.65)),     # first leg, y 5.2
    ((5.15, 6.4), (3.0, 4.4)), ((3.2, 4.05), (2.9, 3.5)),     # second leg, x 4.6
    ((6.0, 7.6), (0.6, 1.45)), ((6.8, 8.2), (2.55, 3.6)),     # third leg, y 2.0
    ((7.6, 8.65), (4.4, 5.6)), ((9.75, 11.0), (5.0, 6.4)),    # fourth leg, x 9.2
    ((10.6, 12.0), (8.65, 9.6)), ((11.2, 12.6), (6.8, 7.35)),  # last leg, y 8.0
    ((11.5, 13.0), (1.5, 3.0)), ((0.8, 1.6), (8.0, 9.2)), ((5.5, 6.5), (7.0, 8.5)),
)


def cluttered_hall_world():
    grid = OccupancyGrid(14.4, 10.4)
    grid.carve((WALL, 14.2), (WALL, 10.2))
    for box in HALL_BOXES:
        grid.block(*box)
    route = Route(
        "slalom", [[1.4, 5.2], [4.6, 5.2], [4.6, 2.0], [9.2, 2.0], [9.2, 8.0], [13.0, 8.0]], 0,
        HALL_GAP)
    passages = [
        Passage("gap on the first leg", (2.8, 5.2), "y", HALL_GAP),
        Passage("gap on the second leg", (4.6, 3.2), "x", HALL_GAP),
        Passage("gap on the third leg", (7.2, 2.0), "y", HALL_GAP),
        Passage("gap on the fourth leg", (9.2, 5.3), "x", HALL_GAP),
        Passage("gap on the last leg", (11.6, 8.0), "y", 1.3),
    ]
    return World("cluttered_hall", grid, [route], passages)


# A 100 m x 100 m warehouse floor. Its south-west corner is the shelving hall of the built-in
# warehouse world at the same coordinates (shelf rows x 2.0-11.0, 0.8 m deep at y 2.6, 5.4, 8.2,
# 11.0, 2.0 m aisles), so that a robot in aisle 1 sees what it sees there. The hall repeats as
# blocks of four rows every 11.5 m east (2.5 m cross aisles) and every 14.0 m north (4.8 m cross
# aisles).
WAREHOUSE_SIZE = 100.0
SHELF_DEPTH = 0.8
SHELF_LENGTH = 9.0
SHELF_FIRST_X = 2.0
SHELF_FIRST_Y = 2.6
ROW_PITCH = 2.8
ROWS_PER_BLOCK = 4
BLOCK_PITCH_X = 11.5
BLOCK_PITCH_Y = 14.0
BLOCKS = (8, 7)  # east, north


def shelf_rows():
    """Every shelf row as ((x_min, x_max), (y_min, y_max))."""
    rows = []
    for block_x in range(BLOCKS[0]):
        x_min = SHELF_FIRST_X + block_x * BLOCK_PITCH_X
        for block_y in range(BLOCKS[1]):
            for row in range(ROWS_PER_BLOCK):
                y_min = SHELF_FIRST_Y + block_y * BLOCK_PITCH_Y + row * ROW_PITCH
                rows.append(((x_min, x_min + SHELF_LENGTH), (y_min, y_min + SHELF_DEPTH)))
    return rows


def warehouse_world():
    grid = OccupancyGrid(WAREHOUSE_SIZE, WAREHOUSE_SIZE)
    grid.carve((WALL, WAREHOUSE_SIZE - WALL), (WALL, WAREHOUSE_SIZE - WALL))
    for row in shelf_rows():
        grid.block(*row)
    # East to the end of aisle 2, north up the first cross aisle, east along the wide cross
    # aisle, north up the next cross aisle and west into an aisle of the next block north.
    route = Route(
        "aisles",
        [[9.0, 7.2], [12.25, 7.2], [12.25, 14.2], [23.75, 14.2], [23.75, 18.4], [21.0, 18.4]], 90,
        2.0)
    passages = [
        Passage("aisle 1", (7.0, 4.4), "y", 2.0),
        Passage("first cross aisle", (12.25, 5.8), "x", 2.5),
        Passage("wide cross aisle", (18.0, 14.2), "y", 4.8),
    ]
    return World("warehouse_large", grid, [route], passages)


def all_worlds():
    """Every world, in the order their scenarios are listed."""
    return [doors_world(), l_corridor_world(), u_corridor_world(), cluttered_hall_world(),
            warehouse_world()]
