c = 0
for i in range(@N@):
    for j in range(@N@):
        if (i + j) % 3 == 0:
            c += 1
        elif (i * j) % 7 == 1:
            c += 2
print(c)
