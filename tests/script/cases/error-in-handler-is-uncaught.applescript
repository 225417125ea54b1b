try
do shell script "exit 1"
on error
do shell script "echo again >&2; exit 9"
end try