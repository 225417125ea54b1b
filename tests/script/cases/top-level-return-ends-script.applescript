return "first"
do shell script "exit 1"