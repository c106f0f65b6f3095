s = ""
t = 0
for i in range(@N@):
    s = s + chr(65 + i % 26)
for i in range(@N@):
    t += ord(s[i])
print(len(s))
print(t)
