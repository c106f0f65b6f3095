local i, x = 0, 0
while i < @N@ do
  i = i + 1
  x = (x * 3 + i * 7) % 1009
end
print(x)
