-- A greeting through the console; counts its runs in a global.
helloCount = (helloCount or 0) + 1
greeting = "Hello from Velvet Aisle"
console("echo " .. greeting)
