-- continue, break N and continue N.
local out = {}
for i = 1, 5 do
  if i == 2 then continue end
  if i == 4 then break end
  table.insert(out, i)
end
assert(table.concat(out, ",") == "1,3")

out = {}
for i = 1, 3 do
  for j = 1, 3 do
    if j == 2 then break 2 end
    table.insert(out, i .. j)
  end
end
assert(table.concat(out, ",") == "11")

out = {}
for i = 1, 3 do
  for j = 1, 3 do
    if j == 2 then continue 2 end
    table.insert(out, i .. j)
  end
  table.insert(out, "never")
end
assert(table.concat(out, ",") == "11,21,31")

out = {}
local i = 0
while i < 6 do
  i = i + 1
  if i & 1 == 1 then continue end
  table.insert(out, i)
end
assert(table.concat(out, ",") == "2,4,6")

-- continue in repeat evaluates the condition
out = {}
i = 0
repeat
  i = i + 1
  if i == 2 then continue end
  table.insert(out, i)
until i >= 4
assert(table.concat(out, ",") == "1,3,4")

-- three levels, break out of the middle one
out = {}
for a = 1, 2 do
  for b = 1, 2 do
    for c = 1, 3 do
      if c == 2 then break 2 end
      table.insert(out, a .. b .. c)
    end
  end
  table.insert(out, "a" .. a)
end
assert(table.concat(out, ",") == "111,a1,211,a2")

-- a plain break in a loop that also continues
out = {}
for k = 1, 10 do
  if k == 2 then continue end
  if k == 5 then break end
  table.insert(out, k)
end
assert(table.concat(out, ",") == "1,3,4")

-- generic for over a table (5.0) with continue
local t = {10, 20, 30}
local sum = 0
for _, v in t do
  if v == 20 then continue end
  sum = sum + v
end
assert(sum == 40)

-- break 1 is a plain break
for q = 1, 3 do break 1 end
-- locals of a repeat body are not seen by until (5.0 scoping)
x = "global"
local seen
repeat local x = "local"; seen = x until x == "global"
assert(seen == "local")
