local s = "the quick brown fox jumps over the lazy dog"
local n = 0
for i = 1, @N@ do
  local p = i % 40 + 1
  local t = string.upper(s:sub(p, p + 3)) .. "|" .. s:sub(1, 2)
  n = n + (string.find(t, "O", 1, true) or 0) + #t
end
print(n)
