#!/bin/sh
# A Linux module links no allocation function at all: the dynamic symbols it needs from elsewhere hold no
# malloc, calloc, realloc, strdup or operator new.
for module in "$@"; do
    found=$(nm -D --undefined-only "$module" | awk '{print $NF}' |
            grep -E '^(malloc|calloc|realloc|strdup|strndup|aligned_alloc|posix_memalign|memalign|_Znw[jm]|_Zna[jm])(@|$)')
    if [ -n "$found" ]; then
        echo "$module imports $found"
        exit 1
    fi
done
echo "no module imports an allocation function"
