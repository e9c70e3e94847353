#!/bin/sh
# The program keeps its data in one folder, by default its own; installed system-wide
# that folder is read-only, so each user gets a folder of their own. Only that default
# folder is made here (readable by its owner alone: it holds the passwords); a folder
# named in TALLYRA_DATA_DIR must exist, and the program says so when it does not.
if [ -n "${TALLYRA_DATA_DIR:-}" ]; then
    data=$TALLYRA_DATA_DIR
else
    data="${XDG_DATA_HOME:-$HOME/.local/share}/Tallyra"
    if [ ! -d "$data" ]; then
        mkdir -p "$(dirname "$data")" && mkdir -m 700 "$data" || exit 1
    fi
fi
exec /usr/lib/tallyra/Tallyra --data-dir "$data" "$@"
