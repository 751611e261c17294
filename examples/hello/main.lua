-- The smallest kavro game: greet and return, which ends the program.
print("Hello from kavro " .. KAVRO_VERSION_STRING)
