set x to "a
b"
do shell script "exit 3"