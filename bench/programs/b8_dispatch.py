def add(a, b):
    c = a + b
    return c % 1000


def twice(a):
    d = a * 3
    return d % 1000


t = 0
for i in range(1, @N@ + 1):
    k = i % 4
    if k == 0:
        t += add(i, 3)
    elif k == 1:
        t += twice(i)
    elif k in (2, 3):
        t -= add(i, -1)
print(t)
