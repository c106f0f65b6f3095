local i, s = 0, 0.0
local sqrt, sin, cos, log = math.sqrt, math.sin, math.cos, math.log
while i < @N@ do
  i = i + 1
  s = s + sqrt(i) + sin(i) + cos(i) + log(i)
end
print(math.floor(s))
