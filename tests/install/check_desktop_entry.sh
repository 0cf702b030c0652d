#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Validates a desktop entry with desktop-file-validate.
#   check_desktop_entry.sh DESKTOP_FILE_VALIDATE ENTRY
# Anything it reports fails: errors, and also warnings and hints, on which
# desktop-file-validate itself exits with status 0.
set -u
validator=$1
entry=$2

if [ ! -x "$validator" ]; then
  echo "desktop-file-validate not found (scripts/bootstrap installs desktop-file-utils)"
  exit 1
fi

out=$(LC_ALL=C "$validator" "$entry" 2>&1)
status=$?
[ -n "$out" ] && printf '%s\n' "$out"
if [ "$status" -ne 0 ]; then
  echo "FAIL: desktop-file-validate exited with status $status"
  exit 1
fi
if [ -n "$out" ]; then
  echo "FAIL: desktop-file-validate reported the problems above"
  exit 1
fi
echo "ok: $entry"
