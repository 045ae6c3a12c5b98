#!/usr/bin/env python3
# Lists widget members declared public in the window headers (src/*/ui/*.h): pointers to Q* and
# T* classes, QPointer and std::array of them, in public sections of a class or struct. Windows
# keep their controls private; other windows use their methods, tests find controls by name.
# Exits 1 when any is found. Usage: scripts/check-private-widgets.py [source root]
import glob
import re
import sys

# Public pointers that are not widgets: the engine's entries and sources the windows work on.
NOT_WIDGETS = {'TAreaInfo', 'TContactSource'}

ACCESS = re.compile(r'^\s*(public|protected|private)\s*(slots|Q_SLOTS)?\s*:|^\s*(signals|Q_SIGNALS)\s*:')
DECL = re.compile(r'^\s*(?:std::array<\s*)?(?:QPointer<\s*)?(?:const\s+)?([QT]\w*)\s*(?:>\s*)?\*?\s*'
                  r'(?:,\s*\w+\s*>\s*)?(\*?\s*\w+(?:\s*,\s*\*?\s*\w+)*)\s*(?:=\s*[^;()]*|\{[^;()]*\})?;\s*$')


def scan(path):
    found = []
    stack = []  # [class name, brace depth, access]
    depth = 0
    pending = None
    for number, line in enumerate(open(path, encoding='utf-8', errors='replace'), 1):
        code = re.sub(r'//.*', '', line.rstrip('\n'))
        head = re.match(r'^\s*(class|struct)\s+(\w+)', code)
        if head and not code.rstrip().endswith(';'):
            pending = (head.group(2), 'private' if head.group(1) == 'class' else 'public')
        access = ACCESS.match(code)
        if access and stack and stack[-1][1] == depth:
            stack[-1][2] = access.group(1) or 'public'
        elif stack and stack[-1][1] == depth and stack[-1][2] == 'public':
            decl = DECL.match(code)
            if (decl and '*' in code and decl.group(1) not in NOT_WIDGETS
                    and not code.strip().startswith(('return', 'using', 'typedef', 'friend', 'static'))):
                found.append(f'{path}:{number}: {stack[-1][0]}: {line.strip()}')
        for ch in code:
            if ch == '{':
                depth += 1
                if pending:
                    stack.append([pending[0], depth, pending[1]])
                    pending = None
            elif ch == '}':
                if stack and stack[-1][1] == depth:
                    stack.pop()
                depth -= 1
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else '.'
    found = [hit for path in sorted(glob.glob(f'{root}/src/*/ui/*.h')) for hit in scan(path)]
    for hit in found:
        print(hit)
    print(f'{len(found)} public widget members', file=sys.stderr)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
