try
  do shell script "echo \"No such folder\" >&2; exit 2" with administrator privileges
  return "not reached"
on error errMsg
  return errMsg
end try
return "Ok"