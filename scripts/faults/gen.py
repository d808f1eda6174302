#!/usr/bin/env python3
# Picks one-line faults in the modules' sources (an operator, a constant or a dropped statement)
# and prints them as json lines: id, file, line, kind, old text, new text, column. The same root
# and seed give the same faults, so a test change can be judged by the faults caught before and
# after it (mutate.sh, compare.py).
#   gen.py ROOT > faults.jsonl
import random, re, sys, json, os
root = sys.argv[1]
quota = {'track': 40, 'smooth': 20, 'report': 25, 'cli': 20, 'ui': 20}
def sources(mod):
    out = []
    for d, _, fs in os.walk(f'{root}/{mod}'):
        if 'win32' in d: continue
        for f in fs:
            p = os.path.relpath(f'{d}/{f}', root)
            if f.endswith('.cpp') and f != 'FileIoWindows.cpp' or f in ('TrackBuffer.h', 'SmoothSteps.h', 'WindowLayout.h', 'Text.h'):
                out.append(p)
    return sorted(out)
ops = [(' < ', ' <= '), (' <= ', ' < '), (' > ', ' >= '), (' >= ', ' > '), (' == ', ' != '),
       (' != ', ' == '), (' && ', ' || '), (' || ', ' && '), (' + 1', ' + 2'), (' - 1', ' - 2'),
       (' + ', ' - '), (' - ', ' + '), (' * ', ' / '), ('++', '--'), ('true', 'false'),
       ('false', 'true'), ('!', '')]
def cands(f):
    out = []
    lines = open(f"{root}/{f}").read().split('\n')
    for i, line in enumerate(lines):
        s = line.strip()
        if not s or s.startswith(('//', '#', '*')) or 'static_assert' in s:
            continue
        code = s.split('//')[0]
        for old, new in ops:
            if old == '!' and not re.search(r'!(?!=)', code):
                continue
            if old in code:
                if old in ('++', '--') and 'for' not in code and not code.startswith(('++', '--')) and not code.endswith(('++;',)):
                    continue
                idx = line.find(old) if old != '!' else re.search(r'!(?!=)', line).start()
                out.append((f, i + 1, 'op', old, new, idx))
        for m in re.finditer(r'(?<![\w.])(\d+)(?![\w.x])', line.split('//')[0]):
            out.append((f, i + 1, 'const', m.group(1), str(int(m.group(1)) + 1), m.start()))
        if code.endswith(';') and not code.startswith(('return', 'using', 'namespace', 'struct', 'class', 'enum', 'const ', 'constexpr', 'static', 'inline', 'std::', 'int ', 'float ', 'double ', 'bool ', 'auto ')) and '(' in code and code.count('(') == code.count(')'):
            out.append((f, i + 1, 'drop', s, '', 0))
    return out
random.seed(2026)
chosen = []
for mod, k in quota.items():
    byfile = {f: cands(f) for f in sources(mod)}
    total = sum(len(v) for v in byfile.values())
    for f, v in byfile.items():
        n = max(2, round(k * len(v) / total)) if v else 0
        chosen += random.sample(v, min(n, len(v)))
for n, c in enumerate(sorted(chosen, key=lambda c: (c[0], c[1]))):
    print(json.dumps({'id': n, 'file': c[0], 'line': c[1], 'kind': c[2], 'old': c[3], 'new': c[4], 'col': c[5]}))
