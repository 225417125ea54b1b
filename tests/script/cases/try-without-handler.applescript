set x to "before"
try
do shell script "exit 1"
set x to "skipped"
end try
return x