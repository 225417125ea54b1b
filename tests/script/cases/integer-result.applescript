set n to 42
n