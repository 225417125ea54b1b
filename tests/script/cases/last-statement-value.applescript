set a to "x"
set b to "y"