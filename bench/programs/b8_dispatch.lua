local function add(a, b)
  local c = a + b
  return c % 1000
end
local function twice(a)
  local d = a * 3
  return d % 1000
end
local t = 0
for i = 1, @N@ do
  local k = i % 4
  if k == 0 then t = t + add(i, 3)
  elseif k == 1 then t = t + twice(i)
  elseif k == 2 or k == 3 then t = t - add(i, -1)
  end
end
print(t)
