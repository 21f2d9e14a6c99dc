#!/usr/bin/env bash
# Copies the source tree and, floor by floor, adds one include that cmake/layers.cmake does
# not allow to a file of that floor: each must stop the configure step with a message that
# names the file and the table, and the untouched copy must configure.
#   forbidden_includes.sh SOURCE_DIR CMAKE GENERATOR
set -euo pipefail
source_dir=$1 cmake=$2 generator=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/tree"
cp -r "$source_dir/CMakeLists.txt" "$source_dir/cmake" "$source_dir/src" "$work/tree/"

configure() {
    "$cmake" -S "$work/tree" -B "$work/build" -G "$generator" -DQEL_BUILD_TESTS=OFF \
             -DQEL_BUILD_BENCH=OFF > "$work/log" 2>&1
}
configure || { cat "$work/log"; echo "FAIL: the untouched copy does not configure"; exit 1; }

# folder (a file of it gets the include) | an include running up from it
cases=(
    "base|gui/core/canvas.h"
    "system|gui/core/canvas.h"
    "package|picture/core/picture.h"
    "picture/codecs|gui/controls/listview.h"
    "picture/tiffraw|picture/core/picture.h"
    "picture/core|gui/controls/listview.h"
    "picture/core|../../gui/controls/listview.h"
    "picture/formats|<gui/controls/listview.h>"
    "picture/core|picture/formats/pngreader.h"
    "picture/formats|picture/factory/thumbnail.h"
    "picture/factory|picture/props/fileprops.h"
    "picture/props|gui/controls/listview.h"
    "gui/core|gui/controls/listview.h"
    "gui/controls|gui/dialogs/messagebox.h"
    "gui/dialogs|net/http/httpexchange.h"
    "gui/document|app/updateform.h"
    "platform|gui/controls/listview.h"
    "net/crypto|net/tls/tlsengine.h"
    "net/tls|net/http/httpexchange.h"
    "net/http|gui/controls/listview.h"
    "net/update|gui/controls/listview.h"
    "app|testhooks/nethooks.h"
)
failures=0
for entry in "${cases[@]}"; do
    folder=${entry%%|*} include=${entry#*|}
    # Written as it stands when in angle brackets, else in quotes.
    [[ $include == "<"* ]] || include="\"$include\""
    file=$(ls "$work/tree/src/$folder"/*.cpp | head -1)
    cp "$file" "$work/saved"
    { echo "#include $include"; cat "$work/saved"; } > "$file"
    if configure; then
        echo "FAIL: src/$folder accepted #include $include"
        failures=$((failures + 1))
    elif ! tr -s ' \n' ' ' < "$work/log" | grep -qF "$file includes $include, but src/$folder may include only"; then
        echo "FAIL: src/$folder with #include $include stopped without naming the file and the rule:"
        cat "$work/log"
        failures=$((failures + 1))
    elif ! tr -s ' \n' ' ' < "$work/log" | grep -qF "(cmake/layers.cmake)"; then
        echo "FAIL: the message for src/$folder does not name the layer table"
        failures=$((failures + 1))
    fi
    cp "$work/saved" "$file"
done
configure || { cat "$work/log"; echo "FAIL: the restored copy does not configure"; exit 1; }
echo "${#cases[@]} forbidden includes tried, $failures accepted or unexplained"
[[ $failures -eq 0 ]]
