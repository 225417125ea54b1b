try
return 1