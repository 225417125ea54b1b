try
do shell script "mkdir -p \"@APP@\"" with administrator privileges
do shell script "mkdir -p \"@VIDEO@\"" with administrator privileges
do shell script "cp -R -f \"@PRODUCTS@/Calmfield 6 Video/Calmfield Video Plugin 2\" \"@APP@\"" with administrator privileges
do shell script "rm -R -f \"@VIDEO@Ambrelux2.plugin\"" with administrator privileges
do shell script "rm -R -f \"@VIDEO@Velamorph2.plugin\"" with administrator privileges
do shell script "ln -f -n -s \"@APP@Calmfield Video Plugin 2\" \"@VIDEO@Calmfield Video Plugin 2\""  with administrator privileges

on error errMsg
return errMsg
end try
return "Ok"