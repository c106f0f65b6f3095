s = "the quick brown fox jumps over the lazy dog"
n = 0
for i in range(1, @N@ + 1):
    p = i % 40 + 1
    t = s[p - 1:p + 3].upper() + "|" + s[0:2]
    n += t.find("O") + 1 + len(t)
print(n)
