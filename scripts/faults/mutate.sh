#!/bin/bash
# Applies each one-line fault of FAULTS (json lines of gen.py) to the source tree SRC in turn,
# rebuilds the test programs in BUILD, runs those that use the fault's module and appends
# "id<TAB>caught|missed|nocompile<TAB>every failing test" to OUT; each file is restored after its
# fault. Faults already in OUT are skipped, so a stopped run goes on where it stopped.
#   mutate.sh SRC BUILD FAULTS OUT   (needs python3 and jq)
src=$1 build=$2 faults=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
file=
# Stopped in the middle, the fault's file gets its own text back.
trap '[ -n "$file" ] && [ -f "$tmp/orig" ] && cp "$tmp/orig" "$src/$file"; rm -rf "$tmp"; exit 130' INT TERM
exec < /dev/null
while IFS= read -r fault <&3; do
  id=$(jq -r .id <<<"$fault"); file=$(jq -r .file <<<"$fault")
  grep -q "^$id	" "$out" 2>/dev/null && continue
  cp "$src/$file" "$tmp/orig"
  if ! python3 "$here/apply.py" "$src/$file" "$fault"; then printf '%s\tbadfault\t-\n' "$id" >> "$out"; continue; fi
  case $file in
    smooth/*) order="test_smooth test_cli test_report test_commands test_ui";;
    report/*) order="test_report test_cli";;
    cli/*) order="test_cli test_report test_file_io test_ui test_hardening";;
    ui/*) order="test_commands test_ui";;
    *) order="test_track test_hardening test_large_grid test_file_io test_cli test_report test_commands test_ui test_smooth";;
  esac
  if ! nice cmake --build "$build" -j2 --target $order > "$tmp/build.log" 2>&1; then
    result=nocompile; which=-
  else
    result=missed; which=""
    for t in $order; do
      args=""; [ $t = test_ui ] && args="-platform offscreen"
      if ! (cd "$build/tests" && QTEST_FUNCTION_TIMEOUT=30000 timeout 120 ./$t --gtest_brief=1 $args > "$tmp/run.log" 2>&1); then
        result=caught
        failed=$(grep -o '^\[  FAILED  \] [A-Za-z_0-9/]*\.[A-Za-z_0-9/]*' "$tmp/run.log" | cut -c14- | sort -u | tr '\n' ' ')
        which="$which$t:[${failed:-crash}] "
      fi
    done
    which=${which:--}
  fi
  cp "$tmp/orig" "$src/$file"
  rm -f "$tmp/orig"
  printf '%s\t%s\t%s\n' "$id" "$result" "$which" >> "$out"
done 3< "$faults"
rm -rf "$tmp"
