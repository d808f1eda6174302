#!/usr/bin/env python3
# Applies one fault (a json line of gen.py) to a source file in place.
#   apply.py FILE FAULT_JSON
import json, sys
path, f = sys.argv[1], json.loads(sys.argv[2])
lines = open(path).read().split('\n')
i = f['line'] - 1
if f['kind'] == 'drop':
    assert lines[i].strip() == f['old'], (lines[i], f['old'])
    lines[i] = ''
else:
    line = lines[i]; c = f['col']
    if f['old'] == '!':
        assert line[c] == '!'
    else:
        assert line[c:c+len(f['old'])] == f['old'], (line, f)
    lines[i] = line[:c] + f['new'] + line[c+len(f['old']):]
open(path, 'w').write('\n'.join(lines))
