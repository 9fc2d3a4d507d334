#!/usr/bin/env bash
# Checks that every C++ file of the repository is as .clang-format shapes it
# (clang-format 14, as Debian ships it); lists the files that are not.
#
#   scripts/check_format.sh          check
#   scripts/check_format.sh --fix    reformat them in place
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null 2>&1; then
  echo "Installing clang-format"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq clang-format >/dev/null
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
unformatted=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  printf 'not formatted with .clang-format (scripts/check_format.sh --fix):\n' >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "formatting: ${#files[@]} files as .clang-format shapes them"
