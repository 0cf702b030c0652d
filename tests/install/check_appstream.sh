#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Validates AppStream metadata with appstreamcli, without network access.
#   check_appstream.sh APPSTREAMCLI validate METAINFO_FILE
#   check_appstream.sh APPSTREAMCLI validate-tree PREFIX
# validate-tree checks an installed prefix: the metainfo together with the
# desktop entry it launches and that entry's icons.
#
# The application id "com.skimra" has two parts, which appstreamcli warns
# about (cid-desktopapp-is-not-rdns). The id is fixed, so that one issue is
# lowered to information; every other warning or error fails, whether or not
# the exit status says so.
set -u
appstreamcli=$1
mode=$2
target=$3

if [ ! -x "$appstreamcli" ]; then
  echo "appstreamcli not found (scripts/bootstrap installs appstream)"
  exit 1
fi

out=$(LC_ALL=C "$appstreamcli" "$mode" --no-net --override=cid-desktopapp-is-not-rdns=info "$target" 2>&1)
status=$?
printf '%s\n' "$out"
if [ "$status" -ne 0 ]; then
  echo "FAIL: appstreamcli $mode exited with status $status"
  exit 1
fi
if printf '%s\n' "$out" | grep -qE '^[[:space:]]*[EW]: '; then
  echo "FAIL: appstreamcli $mode reported errors or warnings"
  exit 1
fi
if ! printf '%s\n' "$out" | grep -q 'Validation was successful'; then
  echo "FAIL: appstreamcli $mode did not report a successful validation"
  exit 1
fi
