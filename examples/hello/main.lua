-- hello: a sprite bouncing around the window.  The arrow keys push it;
-- Escape or the window's close button ends the game.
local WIDTH, HEIGHT = 640, 480
local MAX_SPEED = 8
local PUSH = 0.4

if SDL_Init(SDL_INIT_VIDEO) ~= 0 then
  print("hello: cannot start SDL: " .. SDL_GetError())
  return
end

local screen = SDL_SetVideoMode(WIDTH, HEIGHT, 32, SDL_SWSURFACE)
if not screen then
  print("hello: no video mode: " .. SDL_GetError())
  SDL_Quit()
  return
end
SDL_WM_SetCaption("kavro hello", "hello")

-- Read from the game's archive; its white background is see-through.
local loaded = SDL_LoadBMP("icon.bmp")
if not loaded then
  print("hello: cannot load icon.bmp: " .. SDL_GetError())
  SDL_Quit()
  return
end
SDL_SetColorKey(loaded, SDL_SRCCOLORKEY, SDL_MapRGB(loaded.format, 255, 255, 255))
local sprite = SDL_DisplayFormat(loaded) or loaded
if sprite ~= loaded then SDL_FreeSurface(loaded) end

local background = SDL_MapRGB(screen.format, 16, 24, 64)
local x, y = (WIDTH - sprite.w) / 2, (HEIGHT - sprite.h) / 2
local vx, vy = 3, 2
local where = KAVRO_CreateRect(0, 0, 0, 0)
local event = KAVRO_GetGlobalEvent()

local function clamp(v, lo, hi)
  if v < lo then return lo elseif v > hi then return hi end
  return v
end

-- Moves one coordinate and bounces it off both walls.
local function bounce(pos, speed, limit)
  pos = pos + speed
  if pos < 0 then
    return -pos, -speed
  elseif pos > limit then
    return 2 * limit - pos, -speed
  end
  return pos, speed
end

local running = true
while running do
  while SDL_PollEvent(event) ~= 0 do
    local kind = event.type
    if kind == SDL_QUIT then
      running = false
    elseif kind == SDL_KEYDOWN and event.key.keysym.sym == SDLK_ESCAPE then
      running = false
    end
  end

  if KAVRO_IsKeyDown(SDLK_LEFT) then vx = vx - PUSH end
  if KAVRO_IsKeyDown(SDLK_RIGHT) then vx = vx + PUSH end
  if KAVRO_IsKeyDown(SDLK_UP) then vy = vy - PUSH end
  if KAVRO_IsKeyDown(SDLK_DOWN) then vy = vy + PUSH end
  vx = clamp(vx, -MAX_SPEED, MAX_SPEED)
  vy = clamp(vy, -MAX_SPEED, MAX_SPEED)
  x, vx = bounce(x, vx, WIDTH - sprite.w)
  y, vy = bounce(y, vy, HEIGHT - sprite.h)

  SDL_FillRect(screen, nil, background)
  where.x, where.y = math.floor(x), math.floor(y)
  SDL_BlitSurface(sprite, nil, screen, where)
  SDL_Flip(screen)
  SDL_Delay(16)
end

SDL_FreeSurface(sprite)
SDL_Quit()
