#!/usr/bin/env python3
"""Fails when a file of src/ includes a header of a library its own does not link.

Every library exports the whole src/ include root, so an include going the wrong way (a lower
layer reaching up, or a sideways reach past the link graph) still compiles. The graph is the
build's own, written at configure time from each target's LINK_LIBRARIES and SOURCES
(tvx_write_link_graph in cmake/TvxHelpers.cmake).

A file may include a header that is
  - among its own target's sources (its library, or a header a target lists explicitly, as the
    web engine lists the engine interface of the web view), or
  - among the sources of a target its target links, directly or through that target's links.
Headers outside src/ (Qt, libmpv, generated ones) are not judged.

usage: check_layering.py <link graph> <src folder>
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = ('.cpp', '.c', '.h')


def read_graph(path):
    targets = {}
    current = None
    with open(path, encoding='utf-8') as graph:
        for line in graph:
            key, _, value = line.rstrip('\n').partition(' ')
            if key == 'target':
                current = targets.setdefault(value, {'dir': '', 'links': [], 'sources': []})
            elif current is None:
                continue
            elif key == 'dir':
                current['dir'] = value
            elif key == 'link':
                current['links'].append(value)
            elif key == 'source':
                current['sources'].append(value)
    for target in targets.values():
        target['sources'] = {
            os.path.realpath(os.path.join(target['dir'], s)) for s in target['sources']}
    return targets


def linked_names(link, known):
    # A link item may be a generator expression such as $<LINK_LIBRARY:WHOLE_ARCHIVE,x>.
    return [name for name in re.split(r'[^A-Za-z0-9_.+-]+', link) if name in known]


def closure(targets):
    direct = {name: {n for link in t['links'] for n in linked_names(link, targets)}
              for name, t in targets.items()}
    reach = {}
    for name in targets:
        seen, stack = set(), list(direct[name])
        while stack:
            n = stack.pop()
            if n not in seen:
                seen.add(n)
                stack.extend(direct[n])
        reach[name] = seen
    return reach


def violations(targets, src):
    src = os.path.realpath(src)
    reach = closure(targets)
    owners = {}
    for name, target in targets.items():
        for source in target['sources']:
            owners.setdefault(source, set()).add(name)
    found = []
    for file, file_owners in sorted(owners.items()):
        if not file.startswith(src + os.sep) or not os.path.isfile(file):
            continue
        with open(file, encoding='utf-8', errors='replace') as text:
            includes = INCLUDE.findall(text.read())
        for include in includes:
            candidates = [os.path.join(os.path.dirname(file), include), os.path.join(src, include)]
            header = next((os.path.realpath(c) for c in candidates if os.path.isfile(c)), None)
            if header is None or not header.startswith(src + os.sep):
                continue
            header_owners = owners.get(header, set())
            for owner in sorted(file_owners):
                allowed = {owner} | reach[owner]
                if header_owners and not header_owners & allowed:
                    found.append('%s (%s) includes "%s" of %s, which %s does not link' % (
                        os.path.relpath(file, src), owner, include,
                        ', '.join(sorted(header_owners)), owner))
    return found


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    targets = read_graph(argv[1])
    if not targets:
        print('no targets in %s' % argv[1], file=sys.stderr)
        return 2
    found = violations(targets, argv[2])
    for line in found:
        print(line)
    checked = sum(len(t['sources']) for t in targets.values())
    print('%d targets, %d sources: %d includes against the link graph' % (
        len(targets), checked, len(found)))
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
