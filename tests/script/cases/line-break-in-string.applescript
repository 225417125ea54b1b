set preset to "first
second
third"
return preset