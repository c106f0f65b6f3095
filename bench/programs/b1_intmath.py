i = x = 0
while i < @N@:
    i += 1
    x = (x * 3 + i * 7) % 1009
print(x)
