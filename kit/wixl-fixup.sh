#!/usr/bin/env bash
# wixl-fixup.sh MSI [WXI]: sets the Type of every custom action that the kit
# declares to the one its markup means. wixl (msitools) writes every deferred
# action as deferred without impersonation and drops Execute="rollback" or
# "commit", HideTarget and the return handling; the WiX toolset needs none of
# this. WXI defaults to OndexSetupCA.wxi beside this script.
set -euo pipefail
msi=$1
wxi=${2:-$(dirname "$0")/OndexSetupCA.wxi}

# custom_action_type LINE: the Type of one <CustomAction .../> line that calls
# a DLL export (1), or nothing for other lines.
custom_action_type() {
  local line=$1 type=1
  [[ $line == *'<CustomAction '*'DllEntry="'* ]] || return 0
  case $line in
    *'Execute="deferred"'*) type=$((type + 1024)) ;;
    *'Execute="rollback"'*) type=$((type + 1024 + 256)) ;;
    *'Execute="commit"'*) type=$((type + 1024 + 512)) ;;
  esac
  [[ $line != *'Execute="immediate"'* && $line == *'Impersonate="no"'* ]] && type=$((type + 2048))
  [[ $line == *'Return="ignore"'* ]] && type=$((type + 64))
  [[ $line == *'HideTarget="yes"'* ]] && type=$((type + 8192))
  echo "$type"
}

while IFS= read -r line; do
  type=$(custom_action_type "$line")
  [ -n "$type" ] || continue
  id=$(sed -n 's/.*<CustomAction Id="\([^"]*\)".*/\1/p' <<<"$line")
  msibuild "$msi" -q "UPDATE \`CustomAction\` SET \`Type\`=$type WHERE \`Action\`='$id'"
done <"$wxi"
