#!/usr/bin/env bash
# Fails when a C++ file is not in the style of .clang-format (the style the
# code is written in), naming the files; passes when clang-format is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
command -v clang-format >/dev/null || { echo "clang-format not installed: not checked"; exit 0; }
cd "$root"
bad=()
while IFS= read -r f; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done < <(git ls-files 2>/dev/null '*.cpp' '*.h' || find src tests bench fuzz examples -name '*.cpp' -o -name '*.h')
if [ ${#bad[@]} -gt 0 ]; then
  printf 'not formatted (run clang-format -i): %s\n' "${bad[@]}"
  exit 1
fi
echo "every C++ file is formatted"
