#!/usr/bin/env bash
# The sources keep the committed .clang-format style; lists the files that
# drifted (scripts/format.sh FILE... fixes them).
set -euo pipefail
cd "$(dirname "$0")/../.."
if ! ./scripts/format.sh --check; then
  echo "format: the files above differ from .clang-format; run scripts/format.sh" >&2
  exit 1
fi
echo "format: all sources formatted"
