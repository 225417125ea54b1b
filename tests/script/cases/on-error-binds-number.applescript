try
do shell script "echo denied >&2; exit 13"
on error errMsg number errNum
set answer to errNum
end try
return answer