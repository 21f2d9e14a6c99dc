#!/bin/sh
# The built program holds no test-only entry point: no "...ForTesting" function, no
# function that takes TLS engine hooks (the class itself may show, as sanitizer builds
# keep its type information for the engine's checked calls) and none of the hook setters
# of the runtime and system libraries. The same patterns must match in the test programs
# (which link the test hooks between them), and the program's listing must name the
# update mode, so that an unreadable listing or a pattern gone stale cannot pass.
#   release_seams.sh PROGRAM TEST_PROGRAM...
set -u
pattern='ForTesting|InstallTls|cTlsEngineHooks\*|SetAllocationHook|SetClockHook|SetPlacesSources'
program_file=$1
shift
program=$(nm -C "$program_file") || exit 1
tests=''
for test_program in "$@"; do
    tests="$tests
$(nm -C "$test_program")" || exit 1
done
printf '%s\n' "$program" | grep -q 'RunUpdateMode(' || { echo "no symbols read from $program_file"; exit 1; }
for name in SelectAesPathForTesting SetRandomPoolEntropyForTesting SetHostResolverForTesting \
    InstallTlsEngineHooksForTesting InstallTlsHooksForTesting SetAllocationHook SetClockHook SetPlacesSources; do
    printf '%s\n' "$tests" | grep -q "$name" || { echo "no test program holds $name: the patterns are stale"; exit 1; }
done
if printf '%s\n' "$program" | grep -E "$pattern"; then
    echo "test-only entry points in $program_file"
    exit 1
fi
exit 0
