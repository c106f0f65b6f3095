i = 0
while i < @N@:
    i += 1
print(i)
