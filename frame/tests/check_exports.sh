#!/bin/sh
# A Windows module exports exactly two names, Linkage and ImportTable, and both are data.
dll=$1
names=$(i686-w64-mingw32-objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed 1d |
        sed -n 's/.*\] *//p' | sort | tr '\n' ' ')
if [ "$names" != "ImportTable Linkage " ]; then
    echo "$dll exports: $names; expected exactly ImportTable and Linkage"
    exit 1
fi
for name in Linkage ImportTable; do
    kind=$(i686-w64-mingw32-nm "$dll" | awk -v n="_$name" '$3 == n { print $2 }')
    case "$kind" in
        D|d|B|b) ;;
        *) echo "$dll: $name is not data (symbol kind '$kind')"; exit 1 ;;
    esac
done
echo "$dll exports exactly Linkage and ImportTable, both data"
