set x to 1
do shell script "echo gone >&2; exit 2"
return x