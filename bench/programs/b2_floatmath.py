from math import sqrt, sin, cos, log
i = 0
s = 0.0
while i < @N@:
    i += 1
    s = s + sqrt(i) + sin(i) + cos(i) + log(i)
print(int(s))
