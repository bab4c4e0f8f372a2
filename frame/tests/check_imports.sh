#!/bin/sh
# A Windows module needs nothing beside it: it imports only from DLLs that Windows itself carries, never the
# compiler's C++ or GCC runtime DLLs.
dll=$1
if [ -z "$dll" ]; then
    echo "usage: check_imports.sh MODULE.dll"
    exit 1
fi
# A table that cannot be read is a failure, not a module without imports.
table=$(i686-w64-mingw32-objdump -p "$dll") || {
    echo "$dll: objdump could not read its import table"
    exit 1
}
imports=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
# Every module calls into kernel32 at least, so an empty list means the table was not where we looked.
if [ -z "$imports" ]; then
    echo "$dll: objdump lists no imported DLL"
    exit 1
fi
for name in $imports; do
    case $(echo "$name" | tr 'A-Z' 'a-z') in
        kernel32.dll|user32.dll|msvcrt.dll|dsound.dll) ;;
        *) echo "$dll imports $name, which does not come with Windows (imports: $imports)"; exit 1 ;;
    esac
done
echo "$dll imports only $imports"
