local s, t = "", 0
local char, byte = string.char, string.byte
for i = 0, @N@ - 1 do s = s .. char(65 + i % 26) end
for i = 1, @N@ do t = t + byte(s, i) end
print(#s)
print(t)
