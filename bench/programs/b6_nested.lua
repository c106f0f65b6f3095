local c = 0
for i = 0, @N@ - 1 do
  for j = 0, @N@ - 1 do
    if (i + j) % 3 == 0 then c = c + 1
    elseif (i * j) % 7 == 1 then c = c + 2 end
  end
end
print(c)
