local a, s = {}, 0
for k = 0, 9 do
  for i = 0, @N@ - 1 do a[i] = (i + k) % 1000 end
  for i = 0, @N@ - 1 do s = s + a[i] end
end
print(s)
