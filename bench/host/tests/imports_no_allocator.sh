#!/bin/sh
# A Linux module links no allocation function at all: the dynamic symbols it needs from elsewhere hold no
# malloc, calloc, realloc, strdup or operator new.
if [ $# -eq 0 ]; then
    echo "usage: imports_no_allocator.sh MODULE.so..."
    exit 1
fi
for module in "$@"; do
    # nm that cannot read the module must fail the check, not pass it with an empty list.
    needed=$(nm -D --undefined-only "$module") || {
        echo "$module: nm could not read its dynamic symbols"
        exit 1
    }
    # Every module needs something from libc or the stand-ins, so an empty list means nothing was read.
    if [ -z "$needed" ]; then
        echo "$module: nm lists no symbol it needs from elsewhere"
        exit 1
    fi
    found=$(printf '%s\n' "$needed" | awk '{print $NF}' |
            grep -E '^(malloc|calloc|realloc|strdup|strndup|aligned_alloc|posix_memalign|memalign|_Znw[jm]|_Zna[jm])(@|$)')
    if [ -n "$found" ]; then
        echo "$module imports $found"
        exit 1
    fi
done
echo "no module imports an allocation function ($# modules read)"
