#!/bin/sh
# The program keeps its data in one folder, by default its own; installed system-wide
# that folder is read-only, so each user gets a folder of their own.
data="${TALLYRA_DATA_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/Tallyra}"
mkdir -p "$data" || exit 1
exec /usr/lib/tallyra/Tallyra --data-dir "$data" "$@"
