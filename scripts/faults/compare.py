#!/usr/bin/env python3
# Compares two runs of mutate.sh: how many faults each caught, and every fault that the second
# run no longer catches.
#   compare.py BEFORE.tsv AFTER.tsv
import sys


def load(path):
    return {int(line.split('\t')[0]): line.rstrip('\n').split('\t')[1:] for line in open(path)}


before, after = load(sys.argv[1]), load(sys.argv[2])
caught = [i for i, (result, _) in before.items() if result == 'caught']
print(f"before: {len(caught)} of {len(before)} faults caught")
rerun = [i for i in caught if i in after]
kept = [i for i in rerun if after[i][0] == 'caught']
print(f"after: {len(kept)} of the {len(rerun)} caught before and run again are caught")
for i in sorted(set(rerun) - set(kept)):
    print(f"lost {i}: before {before[i][1]}")
sys.exit(1 if len(kept) < len(rerun) else 0)
