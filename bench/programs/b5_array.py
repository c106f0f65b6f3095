a = [0] * (@N@ + 1)
s = 0
for k in range(10):
    for i in range(@N@):
        a[i] = (i + k) % 1000
    for i in range(@N@):
        s += a[i]
print(s)
