set x to "a"
set y to "b"
return y