#!/usr/bin/env bash
# Checks that every tracked C and C++ file is formatted by the repository's .clang-format;
# fails naming the files that are not. With --fix the files are formatted in place instead.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if [[ "${1:-}" == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/tvx-format.$$; then
  grep -o '^[^:]*:[0-9]*:[0-9]*: error' /tmp/tvx-format.$$ | cut -d: -f1 | sort -u | sed 's/^/not formatted: /' >&2
  rm -f /tmp/tvx-format.$$
  echo "Run scripts/check-format.sh --fix" >&2
  exit 1
fi
rm -f /tmp/tvx-format.$$
