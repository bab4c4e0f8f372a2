#!/bin/sh
# A Windows module needs nothing beside it: it imports only from DLLs that Windows itself carries, never the
# compiler's C++ or GCC runtime DLLs.
dll=$1
imports=$(i686-w64-mingw32-objdump -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
for name in $imports; do
    case $(echo "$name" | tr 'A-Z' 'a-z') in
        kernel32.dll|user32.dll|msvcrt.dll|dsound.dll) ;;
        *) echo "$dll imports $name, which does not come with Windows (imports: $imports)"; exit 1 ;;
    esac
done
echo "$dll imports only $imports"
