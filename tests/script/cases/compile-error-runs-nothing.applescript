do shell script "echo ran >&2; exit 1"
set x to