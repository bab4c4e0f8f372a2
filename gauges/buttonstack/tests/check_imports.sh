#!/bin/sh
# A Windows module imports the named function from the named DLL: check_imports.sh MODULE.dll DLL FUNCTION
dll=$1 library=$2 function=$3
table=$(i686-w64-mingw32-objdump -p "$dll") || exit 1
imports=$(printf '%s\n' "$table" | awk -v lib="$library" '
    /DLL Name:/ { inside = (tolower($3) == tolower(lib)); next }
    inside && NF == 0 { inside = 0 }
    inside && NF >= 2 && $1 ~ /^[0-9a-f]+$/ { print $NF }')
if ! printf '%s\n' "$table" | grep -qi "DLL Name: $library\$"; then
    echo "$dll imports nothing from $library; it imports from:"
    printf '%s\n' "$table" | grep 'DLL Name:'
    exit 1
fi
if ! printf '%s\n' "$imports" | grep -qx "$function"; then
    echo "$dll imports from $library: $(printf '%s' "$imports" | tr '\n' ' '); expected $function among them"
    exit 1
fi
echo "$dll imports $function from $library"
