#!/usr/bin/python3
"""Turns the STRINGTABLE of a resource script into C++ for the builds without a resource
compiler, so that both builds take their texts from the one script.

usage: GenerateStringTable.py input.rc output.cpp

The script may hold comments, #pragma lines and STRINGTABLE blocks of lines `id, "text"`. The
text keeps the resource compiler's escapes (\\r, \\n, \\t, \\\\), which C++ reads the same
way; a doubled quote stands for one quote. Anything else fails the build, so that a typo cannot
silently drop a text.
"""
import re
import sys

ENTRY = re.compile(r'^(\d+)\s*,?\s*"((?:[^"]|"")*)"\s*(//.*)?$')
KNOWN_ESCAPES = set('rnt\\')


def cxx_literal(rc_text, where):
    out = []
    i = 0
    while i < len(rc_text):
        ch = rc_text[i]
        if ch == '"':  # the second quote of a doubled one is skipped below
            out.append('\\"')
            i += 2
            continue
        if ch == '\\':
            if i + 1 >= len(rc_text) or rc_text[i + 1] not in KNOWN_ESCAPES:
                sys.exit(f'{where}: unsupported escape in {rc_text!r}')
            out.append(rc_text[i:i + 2])
            i += 2
            continue
        if ord(ch) < 0x20:
            sys.exit(f'{where}: control character in {rc_text!r}')
        if ord(ch) > 0x7E:
            out.append(f'\\u{ord(ch):04x}' if ord(ch) <= 0xFFFF else f'\\U{ord(ch):08x}')
        else:
            out.append(ch)
        i += 1
    return 'L"' + ''.join(out) + '"'


def parse(path):
    entries = {}
    in_table = False
    with open(path, encoding='utf-8-sig') as script:
        for number, raw in enumerate(script, 1):
            line = raw.strip()
            where = f'{path}:{number}'
            if not line or line.startswith('//') or line.startswith('#'):
                continue
            if line == 'STRINGTABLE':
                continue
            if line in ('BEGIN', '{'):
                in_table = True
                continue
            if line in ('END', '}'):
                in_table = False
                continue
            match = ENTRY.match(line) if in_table else None
            if not match:
                sys.exit(f'{where}: not understood: {line}')
            ident = int(match.group(1))
            if ident in entries:
                sys.exit(f'{where}: string {ident} defined twice')
            entries[ident] = cxx_literal(match.group(2), where)
    return entries


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    entries = parse(sys.argv[1])
    lines = [
        f'// Generated from {sys.argv[1]} by GenerateStringTable.py; edit the script, not this.',
        '#include "platform/posix/StringTable.h"',
        '',
        'namespace {',
        '',
        'const platform::posix::StringResource kStrings[] = {',
    ]
    lines += [f'    {{{ident}, {text}}},' for ident, text in sorted(entries.items())]
    lines += [
        '};',
        '',
        'const platform::posix::StringTableRegistration kRegistration(kStrings, sizeof kStrings / sizeof kStrings[0]);',
        '',
        '}  // namespace',
        '',
    ]
    with open(sys.argv[2], 'w', encoding='utf-8') as out:
        out.write('\n'.join(lines))


if __name__ == '__main__':
    main()
