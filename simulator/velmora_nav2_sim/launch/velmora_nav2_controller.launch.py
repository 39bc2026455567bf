"""Starts the controller server on the simulated robot, configured by a parameter file.

    ros2 launch velmora_nav2_sim velmora_nav2_controller.launch.py [params_file:=FILE]

The default parameter file is the one installed with velmora_nav2_controller_core. This needs a
ROS 2 Humble installation (launch, launch_ros); the repository's own build has neither, so it is
not run there.
"""

import os

from ament_index_python.packages import get_package_share_directory
from launch import LaunchDescription
from launch.actions import DeclareLaunchArgument
from launch.substitutions import LaunchConfiguration
from launch_ros.actions import Node


def generate_launch_description():
    default_params_file = os.path.join(
        get_package_share_directory('velmora_nav2_controller_core'),
        'config', 'velmora_nav2_controller.yaml')
    return LaunchDescription([
        DeclareLaunchArgument(
            'params_file', default_value=default_params_file,
            description='Parameter file of the server, its controllers, the costmap and the robot'),
        Node(
            package='velmora_nav2_sim', executable='velmora_nav2_controller', output='screen',
            parameters=[LaunchConfiguration('params_file')]),
    ])
