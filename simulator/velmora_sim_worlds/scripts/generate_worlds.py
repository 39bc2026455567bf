#!/usr/bin/python3
"""Writes the simulator's test worlds and their scenarios into OUTPUT_DIR:

  worlds/<world>.yaml, worlds/<world>.pgm        maps in the map-server format
  scenarios/<world>-<controller>-<route>[-<direction>].yaml
  manifest.tsv                                   <scenario>\\t<map yaml> per line, relative
                                                 to OUTPUT_DIR, world by world

Run: /usr/bin/python3 generate_worlds.py OUTPUT_DIR
"""

import os
import sys

from scenario_files import RouteScenarios
from world_layouts import all_worlds


def generate(output_dir):
    for folder in ("worlds", "scenarios"):
        os.makedirs(os.path.join(output_dir, folder), exist_ok=True)
    manifest = []
    for world in all_worlds():
        world.grid.write(os.path.join(output_dir, "worlds"), world.name)
        map_yaml = "worlds/%s.yaml" % world.name
        for route in world.routes:
            for scenario in RouteScenarios(world.name, route).all():
                relative = "scenarios/" + scenario.file_name
                with open(os.path.join(output_dir, relative), "w") as out:
                    out.write(scenario.text())
                manifest.append("%s\t%s\n" % (relative, map_yaml))
    with open(os.path.join(output_dir, "manifest.tsv"), "w") as out:
        out.writelines(manifest)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: generate_worlds.py OUTPUT_DIR\n")
        return 2
    generate(argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
