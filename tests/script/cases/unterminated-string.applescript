set x to "abc
return x