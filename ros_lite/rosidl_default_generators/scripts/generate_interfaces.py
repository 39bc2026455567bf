#!/usr/bin/env python3
"""Turns ROS interface definitions (.msg, .srv, .action) into rosidl-like C++ headers.

The generated types follow the layout of the rosidl C++ generator, so code written against a
real ROS 2 build compiles unchanged: `pkg::msg::Name` (an alias of the template `Name_`) in
`pkg/msg/name.hpp`, field type aliases, constants, pointer aliases, memberwise equality, the
`rosidl_generator_traits` traits, and for actions the wrapper types rclcpp_action uses.

Usage:
  generate_interfaces.py --output INCLUDE_DIR PACKAGE_DIR...   write the headers
  generate_interfaces.py --list-outputs PACKAGE_DIR...        print the header paths, ';'-separated

With --package NAME the arguments are definition files of that one package instead of package
folders (this is how a package's build calls it: the package name comes from the build, not from
the folder the sources happen to sit in, and only the listed files are generated). The folder a
file sits in (msg, srv or action) decides its kind, and its extension must match that folder.
"""

import argparse
import os
import re
import sys

PRIMITIVES = {
    'bool': 'bool',
    'byte': 'unsigned char',
    'char': 'unsigned char',
    'float32': 'float',
    'float64': 'double',
    'int8': 'int8_t',
    'uint8': 'uint8_t',
    'int16': 'int16_t',
    'uint16': 'uint16_t',
    'int32': 'int32_t',
    'uint32': 'uint32_t',
    'int64': 'int64_t',
    'uint64': 'uint64_t',
    'string': 'std::string',
    'wstring': 'std::u16string',
}

IDENTIFIER = re.compile(r'^[a-zA-Z][a-zA-Z0-9_]*$')


class DefinitionError(Exception):
    pass


def snake_case(name):
    name = re.sub(r'(.)([A-Z][a-z]+)', r'\1_\2', name)
    name = re.sub(r'([a-z0-9])([A-Z])', r'\1_\2', name)
    return name.lower()


class FieldType:
    """A field's type: base type plus array shape (none, dynamic, fixed N or bounded <=N)."""

    def __init__(self, text, package, where):
        match = re.match(r'^([a-zA-Z0-9_/]+?)(?:<=(\d+))?(\[(<=)?(\d*)\])?$', text)
        if not match:
            raise DefinitionError(f'{where}: cannot read type "{text}"')
        self.base = match.group(1)
        self.string_bound = match.group(2)
        self.array = None
        self.size = None
        if match.group(3):
            if match.group(5) == '':
                self.array = 'dynamic'
            elif match.group(4):
                self.array, self.size = 'bounded', int(match.group(5))
            else:
                self.array, self.size = 'fixed', int(match.group(5))
        if self.base in PRIMITIVES:
            self.package = None
        elif '/' in self.base:
            self.package, self.base = self.base.split('/', 1)
        else:
            self.package = package
        if self.package and not IDENTIFIER.match(self.base):
            raise DefinitionError(f'{where}: bad message type "{text}"')

    @property
    def is_primitive(self):
        return self.package is None

    def element_cpp(self, local_types=()):
        if self.is_primitive:
            return PRIMITIVES[self.base]
        if (self.package, self.base) in local_types:
            return self.base
        return f'{self.package}::msg::{self.base}'

    def cpp(self, local_types=()):
        element = self.element_cpp(local_types)
        if self.array == 'dynamic':
            return f'std::vector<{element}>'
        if self.array == 'fixed':
            return f'std::array<{element}, {self.size}>'
        if self.array == 'bounded':
            return f'rosidl_runtime_cpp::BoundedVector<{element}, {self.size}>'
        return element

    def header(self):
        if self.is_primitive:
            return None
        return f'{self.package}/msg/{snake_case(self.base)}.hpp'


def cpp_literal(field_type, text, where):
    """C++ expression for a default or constant value written in a definition."""
    base = field_type.base
    if base == 'bool':
        lowered = text.strip().lower()
        if lowered in ('true', '1'):
            return 'true'
        if lowered in ('false', '0'):
            return 'false'
        raise DefinitionError(f'{where}: bad bool value "{text}"')
    if base in ('string', 'wstring'):
        value = text.strip()
        if len(value) >= 2 and value[0] == value[-1] and value[0] in '"\'':
            value = value[1:-1]
        escaped = value.replace('\\', '\\\\').replace('"', '\\"')
        return f'"{escaped}"'
    try:
        number = float(text) if base.startswith('float') else int(text, 0)
    except ValueError:
        raise DefinitionError(f'{where}: bad {base} value "{text}"') from None
    if base.startswith('float'):
        return repr(number) + ('f' if base == 'float32' else '')
    return str(number) + ('ull' if base.startswith('uint') else 'll')


def default_expression(field_type, text, where):
    if field_type.array:
        items = text.strip()
        if not (items.startswith('[') and items.endswith(']')):
            raise DefinitionError(f'{where}: array default must be [..], got "{text}"')
        parts = [p for p in items[1:-1].split(',') if p.strip()]
        values = ', '.join(cpp_literal(field_type, p, where) for p in parts)
        return f'{field_type.cpp()}{{{{{values}}}}}'
    return f'{field_type.element_cpp()}({cpp_literal(field_type, text, where)})'


class Field:
    def __init__(self, field_type, name, default):
        self.type = field_type
        self.name = name
        self.default = default


class Constant:
    def __init__(self, field_type, name, value):
        self.type = field_type
        self.name = name
        self.value = value


class Message:
    def __init__(self, package, name, fields, constants):
        self.package = package
        self.name = name
        self.fields = fields
        self.constants = constants


def strip_comment(line):
    quote = None
    for i, char in enumerate(line):
        if quote:
            if char == quote:
                quote = None
        elif char in '"\'':
            quote = char
        elif char == '#':
            return line[:i]
    return line


def parse_section(lines, package, name, path, first_line):
    fields, constants = [], []
    for offset, raw in enumerate(lines):
        where = f'{path}:{first_line + offset}'
        line = strip_comment(raw).strip()
        if not line:
            continue
        type_text, _, rest = line.partition(' ')
        rest = rest.strip()
        field_type = FieldType(type_text, package, where)
        if '=' in rest.split(' ', 1)[0] or re.match(r'^[A-Za-z0-9_]+\s*=', rest):
            const_name, _, value = rest.partition('=')
            const_name = const_name.strip()
            if not IDENTIFIER.match(const_name) or field_type.array or not field_type.is_primitive:
                raise DefinitionError(f'{where}: bad constant "{line}"')
            constants.append(Constant(field_type, const_name,
                                      cpp_literal(field_type, value.strip(), where)))
            continue
        field_name, _, default_text = rest.partition(' ')
        if not IDENTIFIER.match(field_name):
            raise DefinitionError(f'{where}: bad field name "{field_name}"')
        default = None
        if default_text.strip():
            if not field_type.is_primitive:
                raise DefinitionError(f'{where}: nested message field cannot have a default')
            default = default_expression(field_type, default_text, where)
        fields.append(Field(field_type, field_name, default))
    return Message(package, name, fields, constants)


def split_sections(path, expected):
    with open(path, encoding='utf-8') as stream:
        lines = stream.read().split('\n')
    sections, current, start = [], [], 1
    for number, line in enumerate(lines, start=1):
        if line.strip() == '---':
            sections.append((current, start))
            current, start = [], number + 1
        else:
            current.append(line)
    sections.append((current, start))
    if len(sections) != expected:
        raise DefinitionError(f'{path}: expected {expected} sections separated by ---, '
                              f'found {len(sections)}')
    return sections


def uuid_field():
    return Field(FieldType('unique_identifier_msgs/UUID', None, ''), 'goal_id', None)


def struct_code(message, local_types):
    """The template struct and its alias, for one message."""
    n = message.name
    lines = ['template<class ContainerAllocator>', f'struct {n}_', '{',
             f'  using Type = {n}_<ContainerAllocator>;', '']
    # Value-initialisation zeroes numbers and fixed arrays, as rosidl's ALL initialisation does.
    initialisers = [f'{f.name}({f.default if f.default is not None else ""})'
                    for f in message.fields]
    if not message.fields:
        initialisers.append('structure_needs_at_least_one_member(0)')
    lines.append(f'  explicit {n}_(rosidl_runtime_cpp::MessageInitialization _init = '
                 'rosidl_runtime_cpp::MessageInitialization::ALL)')
    lines.append('  : ' + ',\n    '.join(initialisers))
    lines.append('  {')
    lines.append('    (void)_init;')
    lines.append('  }')
    lines.append('')
    for field in message.fields:
        cpp = field.type.cpp(local_types)
        lines.append(f'  using _{field.name}_type = {cpp};')
        lines.append(f'  _{field.name}_type {field.name};')
    if not message.fields:
        lines.append('  uint8_t structure_needs_at_least_one_member;')
    if message.constants:
        lines.append('')
    for constant in message.constants:
        if constant.type.base in ('string', 'wstring'):
            lines.append(f'  inline static const {constant.type.element_cpp()} {constant.name} = '
                         f'{constant.value};')
        else:
            lines.append(f'  static constexpr {constant.type.element_cpp()} {constant.name} = '
                         f'{constant.value};')
    lines += [
        '',
        f'  using RawPtr = {n}_<ContainerAllocator> *;',
        f'  using ConstRawPtr = const {n}_<ContainerAllocator> *;',
        f'  using SharedPtr = std::shared_ptr<{n}_<ContainerAllocator>>;',
        f'  using ConstSharedPtr = std::shared_ptr<const {n}_<ContainerAllocator>>;',
        f'  using UniquePtr = std::unique_ptr<{n}_<ContainerAllocator>>;',
        f'  using ConstUniquePtr = std::unique_ptr<const {n}_<ContainerAllocator>>;',
        f'  using WeakPtr = std::weak_ptr<{n}_<ContainerAllocator>>;',
        f'  using ConstWeakPtr = std::weak_ptr<const {n}_<ContainerAllocator>>;',
        '',
        f'  bool operator==(const {n}_ & other) const',
        '  {',
    ]
    compared = [f.name for f in message.fields] or ['structure_needs_at_least_one_member']
    lines.append('    return ' + ' &&\n      '.join(f'{c} == other.{c}' for c in compared) + ';')
    lines += [
        '  }',
        f'  bool operator!=(const {n}_ & other) const {{return !(*this == other);}}',
        '};',
        '',
        f'using {n} = {n}_<std::allocator<void>>;',
    ]
    return lines


def traits_code(qualified, type_name):
    return [
        'namespace rosidl_generator_traits',
        '{',
        'template<>',
        f'struct is_message<{qualified}>: std::true_type {{}};',
        'template<>',
        f'inline const char * name<{qualified}>() {{return "{type_name}";}}',
        '}  // namespace rosidl_generator_traits',
        '',
    ]


def includes_for(messages, local_types):
    headers = set()
    for message in messages:
        for field in message.fields:
            if not field.type.is_primitive and (field.type.package, field.type.base) not in local_types:
                headers.add(field.type.header())
    return sorted(headers)


def render_header(package, kind, messages, wrappers, extra_includes=()):
    """One header holding `messages` (in order) in namespace package::kind."""
    local_types = {(m.package, m.name) for m in messages}
    out = [
        '// Generated from the interface definitions; do not edit.',
        '#pragma once',
        '',
        '#include <array>',
        '#include <cstdint>',
        '#include <memory>',
        '#include <string>',
        '#include <vector>',
        '',
        '#include "rosidl_runtime_cpp/bounded_vector.hpp"',
        '#include "rosidl_runtime_cpp/message_initialization.hpp"',
        '#include "rosidl_runtime_cpp/traits.hpp"',
    ]
    out += [f'#include "{h}"' for h in sorted(set(includes_for(messages, local_types)) |
                                               set(extra_includes))]
    out += ['', f'namespace {package}', '{', f'namespace {kind}', '{', '']
    for message in messages:
        out += struct_code(message, local_types)
        out.append('')
    out += wrappers
    out += [f'}}  // namespace {kind}', f'}}  // namespace {package}', '']
    for message in messages:
        out += traits_code(f'{package}::{kind}::{message.name}', f'{package}/{kind}/{message.name}')
    return '\n'.join(out)


def service_wrapper(name, request, response):
    return [f'struct {name}', '{',
            f'  using Request = {request};',
            f'  using Response = {response};',
            '};', '']


def generate_msg(package, path):
    name = os.path.splitext(os.path.basename(path))[0]
    (lines, start), = split_sections(path, 1)
    message = parse_section(lines, package, name, path, start)
    return f'{package}/msg/{snake_case(name)}.hpp', render_header(package, 'msg', [message], [])


def generate_srv(package, path):
    name = os.path.splitext(os.path.basename(path))[0]
    (request_lines, rs), (response_lines, ps) = split_sections(path, 2)
    request = parse_section(request_lines, package, f'{name}_Request', path, rs)
    response = parse_section(response_lines, package, f'{name}_Response', path, ps)
    wrappers = service_wrapper(name, f'{name}_Request', f'{name}_Response')
    return (f'{package}/srv/{snake_case(name)}.hpp',
            render_header(package, 'srv', [request, response], wrappers))


def generate_action(package, path):
    name = os.path.splitext(os.path.basename(path))[0]
    (goal_lines, gs), (result_lines, rs), (feedback_lines, fs) = split_sections(path, 3)
    goal = parse_section(goal_lines, package, f'{name}_Goal', path, gs)
    result = parse_section(result_lines, package, f'{name}_Result', path, rs)
    feedback = parse_section(feedback_lines, package, f'{name}_Feedback', path, fs)

    def local(type_name, field_name):
        return Field(FieldType(f'{package}/{type_name}', package, ''), field_name, None)

    time_field = Field(FieldType('builtin_interfaces/Time', None, ''), 'stamp', None)
    messages = [
        goal, result, feedback,
        Message(package, f'{name}_SendGoal_Request', [uuid_field(), local(f'{name}_Goal', 'goal')], []),
        Message(package, f'{name}_SendGoal_Response',
                [Field(FieldType('bool', None, ''), 'accepted', None), time_field], []),
        Message(package, f'{name}_GetResult_Request', [uuid_field()], []),
        Message(package, f'{name}_GetResult_Response',
                [Field(FieldType('int8', None, ''), 'status', None),
                 local(f'{name}_Result', 'result')], []),
        Message(package, f'{name}_FeedbackMessage',
                [uuid_field(), local(f'{name}_Feedback', 'feedback')], []),
    ]
    wrappers = service_wrapper(f'{name}_SendGoal', f'{name}_SendGoal_Request',
                               f'{name}_SendGoal_Response')
    wrappers += service_wrapper(f'{name}_GetResult', f'{name}_GetResult_Request',
                                f'{name}_GetResult_Response')
    wrappers += [
        f'struct {name}', '{',
        f'  using Goal = {name}_Goal;',
        f'  using Result = {name}_Result;',
        f'  using Feedback = {name}_Feedback;',
        '  struct Impl',
        '  {',
        f'    using SendGoalService = {name}_SendGoal;',
        f'    using GetResultService = {name}_GetResult;',
        f'    using FeedbackMessage = {name}_FeedbackMessage;',
        '    using CancelGoalService = action_msgs::srv::CancelGoal;',
        '    using GoalStatusMessage = action_msgs::msg::GoalStatusArray;',
        '  };',
        '};', '']
    return (f'{package}/action/{snake_case(name)}.hpp',
            render_header(package, 'action', messages, wrappers,
                          ['action_msgs/msg/goal_status_array.hpp', 'action_msgs/srv/cancel_goal.hpp']))


GENERATORS = {'msg': generate_msg, 'srv': generate_srv, 'action': generate_action}


def definitions(package_dirs):
    for package_dir in package_dirs:
        package = os.path.basename(os.path.normpath(package_dir))
        for kind in ('msg', 'srv', 'action'):
            folder = os.path.join(package_dir, kind)
            if not os.path.isdir(folder):
                continue
            for entry in sorted(os.listdir(folder)):
                if entry.endswith('.' + kind):
                    yield package, kind, os.path.join(folder, entry)


def listed_definitions(package, files):
    """(package, kind, path) of explicitly listed files; the parent folder names the kind."""
    if not IDENTIFIER.match(package):
        raise DefinitionError(f'bad package name "{package}"')
    for path in files:
        kind = os.path.basename(os.path.dirname(os.path.abspath(path)))
        if kind not in GENERATORS:
            raise DefinitionError(f'{path}: an interface file must sit in a msg, srv or action '
                                  f'folder, not in "{kind}"')
        if not path.endswith('.' + kind):
            raise DefinitionError(f'{path}: a file in the {kind} folder must end in .{kind}')
        if not IDENTIFIER.match(os.path.splitext(os.path.basename(path))[0]):
            raise DefinitionError(f'{path}: bad interface name')
        yield package, kind, path


def output_name(package, kind, path):
    name = os.path.splitext(os.path.basename(path))[0]
    return f'{package}/{kind}/{snake_case(name)}.hpp'


def write_if_changed(path, text):
    if os.path.exists(path):
        with open(path, encoding='utf-8') as stream:
            if stream.read() == text:
                return
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w', encoding='utf-8') as stream:
        stream.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument('--output', help='include directory to write the headers into')
    mode.add_argument('--list-outputs', action='store_true',
                      help="print the relative header paths, ';'-separated")
    parser.add_argument('--package',
                        help='name of the package the listed definition files belong to')
    parser.add_argument('packages', nargs='+', metavar='PATH',
                        help='interface package directories, or definition files with --package')
    args = parser.parse_args()

    try:
        if args.package:
            found = list(listed_definitions(args.package, args.packages))
        else:
            found = list(definitions(args.packages))
        if args.list_outputs:
            print(';'.join(output_name(*d) for d in found))
            return 0
        for package, kind, path in found:
            relative, text = GENERATORS[kind](package, path)
            write_if_changed(os.path.join(args.output, relative), text + '\n')
    except (DefinitionError, OSError) as error:
        print(f'generate_interfaces: error: {error}', file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
