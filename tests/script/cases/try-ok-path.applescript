try
do shell script "true" with administrator privileges

on error errMsg
return errMsg
end try
return "Ok"