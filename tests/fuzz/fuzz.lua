-- kavro_fuzz's script side: the values a script can make, the functions
-- that are called with narrowed values, and the loops over every function
-- of every family and every field of every box type.
--
-- KAVRO_FUZZ_SKIP holds entries separated by commas, semicolons or spaces:
--   NAME                  no call of NAME at all
--   NAME:COND&COND...     no call of NAME whose values meet every COND
-- NAME is a glob over function names ("SDL_*") and field names
-- ("SDL_Surface.pixels").  COND is "LABEL" (some value has that label) or
-- "N=LABEL" (value N has it); LABEL is a glob, or several separated by "|",
-- over the labels printed with each call: "Surface/freed", "num/65535",
-- "@1=num/8" (the same value as value 1), "@1=Surface/8.format" (a member
-- of value 1), "state/video-off" (the SDL state of the call).  A field
-- write has two values: the object written to, then the value written.
-- KAVRO_FUZZ_ONLY holds globs over "family/name" or "name"; field names
-- belong to the family "fields".
local hooks, opt = ...

local G = {}
for k, v in pairs(_G) do G[k] = v end
local random, note, payload = hooks.random, hooks.note, hooks.payload
local pcall, type, unpack, getmetatable, tostring, select = pcall, type, unpack, getmetatable, tostring, select
local format, concat = string.format, table.concat

local function pack(...) return { n = select("#", ...), ... } end
local function say(...) io.stdout:write(format(...), "\n") io.stdout:flush() end

------------------------------------------------------------------------------
-- Patterns

local function glob(g)
  local p = g:gsub("[%^%$%(%)%%%.%[%]%+%-]", "%%%0"):gsub("%*", ".*"):gsub("%?", ".")
  return "^" .. p .. "$"
end

local function anyMatch(globs, s)
  for _, p in ipairs(globs) do
    if s:find(p) then return true end
  end
  return false
end

-- "COND&COND" -> { {pos = N or nil, pats = {pattern, ...}}, ... }; a
-- COND's LABEL may list alternatives separated by "|".
local function parseConds(text)
  local conds = {}
  for c in text:gmatch("[^&]+") do
    local pos, label = c:match("^(%d+)=(.*)$")
    local pats = {}
    for alt in (label or c):gmatch("[^|]+") do pats[#pats + 1] = glob(alt) end
    conds[#conds + 1] = { pos = tonumber(pos), pats = pats }
  end
  return conds
end

local function condsHold(conds, labels, extra)
  for _, c in ipairs(conds) do
    local hit = false
    if c.pos then
      hit = labels[c.pos] ~= nil and anyMatch(c.pats, labels[c.pos])
    else
      for i = 1, #labels do
        if anyMatch(c.pats, labels[i]) then hit = true break end
      end
      hit = hit or (extra ~= nil and anyMatch(c.pats, extra))
    end
    if not hit then return false end
  end
  return true
end

local skips = {}
for entry in opt.skip:gmatch("[^,;%s]+") do
  local name, conds = entry:match("^([^:]*):(.*)$")
  skips[#skips + 1] = { name = glob(name or entry), conds = conds and parseConds(conds) }
end
local only = {}
for g in opt.only:gmatch("[^,;%s]+") do only[#only + 1] = glob(g) end

local function selected(family, name)
  return #only == 0 or anyMatch(only, name) or anyMatch(only, family .. "/" .. name)
end

-- Whether the whole function or field is skipped.
local function skippedWhole(name)
  for _, s in ipairs(skips) do
    if not s.conds and name:find(s.name) then return true end
  end
  return false
end

local function skipped(name, labels, extra, deny)
  for _, s in ipairs(skips) do
    if s.conds and name:find(s.name) and condsHold(s.conds, labels, extra) then return true end
  end
  for _, conds in ipairs(deny or {}) do
    if condsHold(conds, labels, extra) then return true end
  end
  return false
end

------------------------------------------------------------------------------
-- The values.  Each kind of value has a label, the kind a binding's
-- argument message names for it ("number", "string", a box type name,
-- "light" for a light userdata, ...) and a maker.  Values are made anew for
-- every call, so that what one call releases is never handed to the next
-- as live.

local pool, byLabel, byBox = {}, {}, {}
local boxNames = {} -- box type name -> true
local typeOfBox = {} -- row id -> type name
local boxTypes = hooks.fields()
for _, t in ipairs(boxTypes) do
  boxNames[t.name] = true
  typeOfBox[t.id] = t.name
end

local function add(label, kind, make, attrs)
  assert(not byLabel[label], label)
  local e = { label = label, kind = kind, make = make }
  for k, v in pairs(attrs or {}) do e[k] = v end
  e.ud = kind == "light" or kind == "userdata" or e.box ~= nil
  pool[#pool + 1] = e
  byLabel[label] = e
  if e.box then
    byBox[e.box] = byBox[e.box] or {}
    table.insert(byBox[e.box], e)
  end
  return e
end
local function value(label, kind, v, attrs) return add(label, kind, function() return v end, attrs) end
-- A box of row `id` (live unless attrs say otherwise).
local function box(id, variant, make, attrs)
  attrs = attrs or {}
  attrs.box = id
  return add(id .. "/" .. variant, assert(typeOfBox[id], id), make, attrs)
end

for _, n in ipairs {
  { "0", 0 }, { "-1", -1 }, { "0.5", 0.5 }, { "1", 1 }, { "8", 8 }, { "12", 12 }, { "15", 15 }, { "16", 16 },
  { "24", 24 }, { "32", 32 }, { "255", 255 }, { "256", 256 }, { "4096", 4096 }, { "65535", 65535 },
  { "65536", 65536 }, { "2^31", 2 ^ 31 }, { "-2^31", -2 ^ 31 }, { "2^32", 2 ^ 32 }, { "2^53", 2 ^ 53 },
  { "-2^63", -2 ^ 63 }, { "1e308", 1e308 }, { "nan", 0 / 0 }, { "inf", 1 / 0 }, { "-inf", -1 / 0 },
  { "colorkey", G.SDL_SRCCOLORKEY }, { "rle", G.SDL_SRCCOLORKEY + G.SDL_RLEACCEL }, { "srcalpha", G.SDL_SRCALPHA },
  { "yv12", G.SDL_YV12_OVERLAY }, { "yuy2", G.SDL_YUY2_OVERLAY },
} do
  value("num/" .. n[1], "number", n[2])
end

value("str/empty", "string", "")
value("str/64k", "string", string.rep("A", 65536))
value("str/zeros", "string", "a\0b\0")
value("str/fmt", "string", "%s%n%s%n")
value("str/numeric", "string", "255", { numeric = true })
value("str/dummy", "string", "dummy")
value("str/nosuch", "string", "nosuch")
value("str/libm", "string", "libm.so.6")
value("str/file", "string", "fuzz.bmp")
value("str/file32", "string", "fuzz32.bmp")
value("str/vfsfile", "string", "pack.bmp")
value("str/junkfile", "string", "junk.bin")
-- Image files a script could write with io: headers SDL's loader must
-- refuse or survive.
local function le(n, bytes)
  n = n % 2 ^ (8 * bytes)
  local t = {}
  for i = 1, bytes do
    t[i] = string.char(n % 256)
    n = math.floor(n / 256)
  end
  return concat(t)
end
local function bmp(width, height, bpp, compression, colors, extra)
  local palette = bpp <= 8 and string.rep("\1\2\3\0", colors) or ""
  local offset = 54 + #palette
  return "BM" .. le(offset + #extra, 4) .. le(0, 4) .. le(offset, 4) .. le(40, 4) .. le(width, 4) .. le(height, 4)
    .. le(1, 2) .. le(bpp, 2) .. le(compression, 4) .. le(#extra, 4) .. le(0, 8) .. le(colors, 4) .. le(0, 4)
    .. palette .. extra
end
local CRAFTED = {
  { "short.bmp", bmp(1000, 1000, 8, 0, 2, "\0\1") }, -- truncated pixel data
  { "topdown.bmp", bmp(7, -5, 24, 0, 0, string.rep("\255", 140)) }, -- negative height
  { "colors.bmp", bmp(4, 4, 8, 0, 300, string.rep("\7", 16)) }, -- more colours than an 8-bit index
  { "index.bmp", bmp(5, 3, 4, 0, 2, string.rep("\255", 12)) }, -- indices past the palette
  { "fields.bmp", bmp(3, 3, 16, 3, 0, string.rep("\0", 12) .. string.rep("\255", 18)) }, -- zero masks
  { "rle.bmp", bmp(8, 8, 8, 1, 2, "\0\2\255\255\0\1") }, -- run-length data
}
for _, c in ipairs(CRAFTED) do value("str/bmp-" .. c[1]:match("^(%w+)"), "string", c[1]) end
local function writeCrafted()
  for _, c in ipairs(CRAFTED) do
    local f = assert(io.open(c[1], "wb"))
    f:write(c[2])
    f:close()
  end
end
value("str/newfile", "string", "new.bmp")
value("str/dir", "string", "dir")
value("str/subdir", "string", "dir/new.bmp")
value("str/mode-r", "string", "rb")
value("str/mode-w", "string", "w")
value("str/mode-a", "string", "a+")
value("str/mode-rw", "string", "r+")

value("nil", "nil", nil)
value("bool/true", "boolean", true)
value("bool/false", "boolean", false)
add("table/empty", "table", function() return {} end)
add("table/array", "table", function() return { 1, 2, 3 } end)
value("func/lua", "function", function() end)
value("func/c", "function", G.SDL_GetTicks)
add("thread/new", "thread", function() return coroutine.create(function() end) end)
add("thread/dead", "thread", function()
  local c = coroutine.create(function() end)
  coroutine.resume(c)
  return c
end)
add("proxy/plain", "userdata", function() return newproxy() end)
add("proxy/meta", "userdata", function() return newproxy(true) end)
add("io/tmpfile", "userdata", function() return assert(io.tmpfile()) end)
add("io/closed", "userdata", function()
  local f = assert(io.tmpfile())
  f:close()
  return f
end, { dead = true })

local MASKS = {
  [16] = { 0xF800, 0x07E0, 0x001F, 0 },
  [24] = { 0xFF0000, 0xFF00, 0xFF, 0 },
  [32] = { 0xFF0000, 0xFF00, 0xFF, 0 },
}
local function surface(bpp, flags, w, h, amask)
  local m = MASKS[bpp] or { 0, 0, 0, 0 }
  return assert(G.SDL_CreateRGBSurface(flags or 0, w or 8, h or 6, bpp, m[1], m[2], m[3], amask or m[4]))
end
local function screen()
  local s = G.SDL_GetVideoSurface()
  assert(s, "no screen")
  return s
end
local function libm() return assert(G.SDL_LoadObject("libm.so.6")) end
-- Script memory: a box is a full userdata whose block a binding may use.
local function memory() return G.KAVRO_CreateRect(1, 2, 3, 4) end -- 12 bytes
local function freed(make, release)
  return function()
    local v = make()
    release(v)
    return v
  end
end

add("light/null", "light", function() return FUZZ_Box("SDL_AudioSpec").userdata end)
add("light/pixels", "light", function() return surface(32).pixels end)
add("light/freed-pixels", "light", function()
  local s = surface(32)
  local p = s.pixels
  G.SDL_FreeSurface(s)
  return p
end, { dead = true })
add("light/function", "light", function() return assert(G.SDL_LoadFunction(libm(), "cos")) end)

local function mutex() return assert(G.SDL_CreateMutex()) end
local function cond() return assert(G.SDL_CreateCond()) end
add("mutex/live", "light", mutex)
add("mutex/locked", "light", function()
  local m = mutex()
  G.SDL_LockMutex(m)
  return m
end)
add("mutex/destroyed", "light", freed(mutex, G.SDL_DestroyMutex), { dead = true })
add("sem/zero", "light", function() return assert(G.SDL_CreateSemaphore(0)) end)
add("sem/one", "light", function() return assert(G.SDL_CreateSemaphore(1)) end)
add("sem/destroyed", "light", freed(function() return assert(G.SDL_CreateSemaphore(1)) end, G.SDL_DestroySemaphore),
  { dead = true })
add("cond/live", "light", cond)
add("cond/destroyed", "light", freed(cond, G.SDL_DestroyCond), { dead = true })
add("object/libm", "light", libm)
add("object/unloaded", "light", freed(libm, G.SDL_UnloadObject), { dead = true })

-- Surfaces and what hangs off them.
local function rle(bpp)
  local s = surface(bpp)
  assert(G.SDL_SetColorKey(s, G.SDL_SRCCOLORKEY + G.SDL_RLEACCEL, 0) == 0)
  return s
end
local surfaceMakers = {
  { "8", function() return surface(8) end },
  { "16", function() return surface(16) end },
  { "24", function() return surface(24) end },
  { "32", function() return surface(32) end },
  { "32a", function() return surface(32, G.SDL_SRCALPHA, 8, 6, 0xFF000000) end },
  { "alpha", function()
    local s = surface(32)
    assert(G.SDL_SetAlpha(s, G.SDL_SRCALPHA, 128) == 0)
    return s
  end },
  { "rle", function() return rle(8) end },
  { "rle32", function() return rle(32) end },
  { "bmp", function() return assert(G.SDL_LoadBMP("fuzz.bmp")) end },
  { "bmp32", function() return assert(G.SDL_LoadBMP("fuzz32.bmp")) end },
  { "vfsbmp", function() return assert(G.SDL_LoadBMP("pack.bmp")) end },
  { "from", function() return assert(G.SDL_CreateRGBSurfaceFrom(memory(), 2, 2, 8, 4, 0, 0, 0, 0)) end },
  { "0x0", function() return surface(32, 0, 0, 0) end },
  -- Sizes and depths SDL accepts but lays out oddly: the widest rows,
  -- depths below a byte, a palettized screen.
  { "wide", function() return surface(32, 0, 16383, 1) end },
  { "tall", function() return surface(32, 0, 1, 65535) end },
  { "depth1", function() return surface(1) end },
  { "depth4", function() return surface(4) end },
  { "depth12", function() return surface(12) end },
  { "screen8", function()
    -- Setting the mode again would free a screen made earlier in the call.
    local current = G.SDL_GetVideoSurface()
    if current and current.format.BitsPerPixel == 8 then return current end
    return assert(G.SDL_SetVideoMode(64, 48, 8, G.SDL_HWPALETTE))
  end },
}
for _, m in ipairs(surfaceMakers) do box("Surface", m[1], m[2], { shared = m[1] == "screen8" }) end
box("Surface", "screen", screen, { shared = true })
box("Surface", "freed", freed(function() return surface(32) end, G.SDL_FreeSurface), { dead = true })

local function withSurface(bpp, path)
  return function()
    local s = surface(bpp)
    local v = s
    for key in path:gmatch("[^.]+") do v = v[key] end
    return v, s
  end
end
local function freedWith(bpp, path)
  return function()
    local v, s = withSurface(bpp, path)()
    G.SDL_FreeSurface(s)
    return v
  end
end
box("PixelFormat", "8", withSurface(8, "format"))
box("PixelFormat", "32", withSurface(32, "format"))
box("PixelFormat", "screen", function() return screen().format end, { shared = true })
box("PixelFormat", "vinfo", function() return assert(G.SDL_GetVideoInfo()).vfmt end, { shared = true })
box("PixelFormat", "freed", freedWith(8, "format"), { dead = true })
box("Palette", "8", withSurface(8, "format.palette"))
box("Palette", "freed", freedWith(8, "format.palette"), { dead = true })
box("ColorArray", "8", withSurface(8, "format.palette.colors"))
box("ColorArray", "freed", freedWith(8, "format.palette.colors"), { dead = true })
box("Color", "value", function() return G.KAVRO_CreateColor(1, 2, 3) end)
box("VideoInfo", "live", function() return assert(G.SDL_GetVideoInfo()) end, { shared = true })

local OVERLAYS = { "YV12", "IYUV", "YUY2", "UYVY", "YVYU" }
local function overlay(fmt)
  return assert(G.SDL_CreateYUVOverlay(16, 8, G["SDL_" .. fmt .. "_OVERLAY"], screen()))
end
for _, fmt in ipairs(OVERLAYS) do
  box("Overlay", fmt:lower(), function() return overlay(fmt) end)
end
box("Overlay", "1x1", function() return assert(G.SDL_CreateYUVOverlay(1, 1, G.SDL_YV12_OVERLAY, screen())) end)
box("Overlay", "odd", function() return assert(G.SDL_CreateYUVOverlay(3, 5, G.SDL_IYUV_OVERLAY, screen())) end)
box("Overlay", "wide", function() return assert(G.SDL_CreateYUVOverlay(4095, 1, G.SDL_YUY2_OVERLAY, screen())) end)
box("Overlay", "freed", freed(function() return overlay("YV12") end, G.SDL_FreeYUVOverlay), { dead = true })

local function cursor() return assert(G.SDL_CreateCursor(memory(), memory(), 8, 8, 0, 0)) end
box("Cursor", "live", cursor)
box("Cursor", "1x1", function() return assert(G.SDL_CreateCursor(memory(), memory(), 1, 1, 0, 0)) end)
box("Cursor", "16", function()
  local ev = G.KAVRO_GetGlobalEvent()
  return assert(G.SDL_CreateCursor(ev.user, ev.user, 16, 16, 15, 15)) -- a 32-byte block
end)
box("Cursor", "system", function() return assert(G.SDL_GetCursor()) end, { shared = true })
box("Cursor", "freed", freed(cursor, G.SDL_FreeCursor), { dead = true })

-- Streams.
local function memStream() return assert(G.SDL_RWFromMem(memory(), 12)) end
local function fileStream() return assert(G.SDL_RWFromFile("fuzz.bmp", "rb")) end
box("RWops", "mem", memStream)
box("RWops", "constmem", function() return assert(G.SDL_RWFromConstMem(memory(), 12)) end)
box("RWops", "file", fileStream)
box("RWops", "vfs", function() return assert(G.SDL_RWFromFile("pack.bmp", "rb")) end)
box("RWops", "crafted", function() return assert(G.SDL_RWFromFile(CRAFTED[random(#CRAFTED)][1], "rb")) end)
box("RWops", "fp", function()
  local f = assert(io.tmpfile())
  f:write("BM\0\0\0\0 not much of a picture")
  f:seek("set")
  return assert(G.SDL_RWFromFP(f, 0))
end)
box("RWops", "alloc", function() return assert(G.SDL_AllocRW()) end)
box("RWops", "freed", freed(memStream, G.SDL_FreeRW), { dead = true })
box("RWops", "closed", freed(memStream, G.SDL_RWclose), { dead = true })
box("RWops", "file-closed", freed(fileStream, G.SDL_RWclose), { dead = true })
box("RWops", "consumed", function()
  local rw = fileStream()
  G.SDL_LoadBMP_RW(rw, 1)
  return rw
end, { dead = true })
box("RWops", "fp-file-closed", function()
  local f = assert(io.tmpfile())
  local rw = assert(G.SDL_RWFromFP(f, 0))
  f:close()
  return rw
end, { dead = true })

-- Small values and the event record.
box("Version", "linked", function() return assert(G.SDL_Linked_Version()) end, { shared = true })
box("Event", "global", G.KAVRO_GetGlobalEvent, { shared = true })
for _, m in ipairs {
  { "ActiveEvent", "active" }, { "KeyboardEvent", "key" }, { "MouseMotionEvent", "motion" },
  { "MouseButtonEvent", "button" }, { "JoyAxisEvent", "jaxis" }, { "JoyBallEvent", "jball" },
  { "JoyHatEvent", "jhat" }, { "JoyButtonEvent", "jbutton" }, { "ResizeEvent", "resize" },
  { "ExposeEvent", "expose" }, { "QuitEvent", "quit" }, { "UserEvent", "user" }, { "SysWMEvent", "syswm" },
} do
  box(m[1], "copy", function() return G.KAVRO_GetGlobalEvent()[m[2]] end)
end
box("Keysym", "copy", function() return G.KAVRO_GetGlobalEvent().key.keysym end)
for _, r in ipairs {
  { "small", 0, 0, 4, 4 }, { "huge", -32768, -32768, 65535, 65535 }, { "zero", 0, 0, 0, 0 },
  { "neg", -5, -5, 10, 10 }, { "far", 30000, 30000, 100, 100 },
} do
  box("Rect", r[1], function() return G.KAVRO_CreateRect(r[2], r[3], r[4], r[5]) end)
end
box("KColor", "value", function() return G.KAVRO_CreateColorRGBA(1, 2, 3, 4) end)
box("Keyboard", "value", G.KAVRO_CreateKeyboard)

-- Types that no binding makes yet (or, for the CD, not on this machine):
-- zeroed value boxes, and pointer boxes over stand-in objects that no
-- binding made.
for _, id in ipairs { "AudioSpec", "AudioCVT", "CDtrack", "FpsManager", "UnzGlobalInfo", "TmUnz", "UnzFileInfo",
  "ZipFile", "AudioChunk", "GlyphMetrics", "MixAudioSpec" } do
  box(id, "zeroed", function() return FUZZ_Box(id) end)
end
for _, id in ipairs { "CD", "MixChunk", "NetAddress", "NetPacket", "GenericSocket", "Object" } do
  box(id, "fake", function() return FUZZ_Box(id) end)
end

-- Surfaces and streams that calls returned, handed to later calls once
-- each (the label names the call that made them); the entry stands for nil
-- while there is none.
local recycled = { Surface = {}, RWops = {} }
box("Surface", "result", function() return nil end, { result = true })
box("RWops", "result", function() return nil end, { result = true })

-- Objects that outlived the video subsystem that made them: made before
-- the first call that takes one, and again after each such call, since
-- making them takes video down.
local stale, staleFresh = {}, false
local function staleBox(id, variant)
  local label = id .. "/" .. variant
  box(id, variant, function() return stale[label] end, { dead = true, stale = true })
end
staleBox("Surface", "screen-gone")
staleBox("PixelFormat", "screen-gone")
staleBox("VideoInfo", "gone")
staleBox("Overlay", "display-gone")
staleBox("Cursor", "system-gone")
staleBox("Cursor", "current-at-VideoQuit")
staleBox("PixelFormat", "screen-remode-gone")
staleBox("Surface", "shadow-remode-gone")

local function prepareStale()
  -- The screen's format and a shadow screen, both replaced by the next
  -- SDL_SetVideoMode.
  hooks.restore(true)
  stale["PixelFormat/screen-remode-gone"] = screen().format
  stale["Surface/shadow-remode-gone"] = assert(G.SDL_SetVideoMode(64, 48, 8, G.SDL_HWPALETTE))
  assert(G.SDL_SetVideoMode(64, 48, 8, G.SDL_HWPALETTE))
  -- A script's cursor in use when video stops through SDL_VideoQuit, which
  -- frees it.
  hooks.restore(true)
  local c = cursor()
  G.SDL_SetCursor(c)
  G.SDL_VideoQuit()
  stale["Cursor/current-at-VideoQuit"] = c
  hooks.restore(true)
  local s = screen()
  stale["Surface/screen-gone"] = s
  stale["PixelFormat/screen-gone"] = s.format
  stale["VideoInfo/gone"] = G.SDL_GetVideoInfo()
  stale["Overlay/display-gone"] = overlay("YV12")
  stale["Cursor/system-gone"] = G.SDL_GetCursor()
  G.SDL_QuitSubSystem(G.SDL_INIT_VIDEO)
  hooks.restore(true)
  staleFresh = true
end

for _, t in ipairs(boxTypes) do
  if not byBox[t.id] then error("box type " .. t.id .. " (" .. t.name .. ") has no value in fuzz.lua's pool") end
end

------------------------------------------------------------------------------
-- Functions called with narrowed values: each entry says why, and gives
-- per argument position the labels it may take (args) and the value
-- combinations it must not get (deny).  Everything else is fuzzed with the
-- whole pool.  Pool strings never name a path outside the working
-- directory.  A function that blocks, ends the process, probes the
-- machine's drivers or writes files belongs here.

local SHORT = { "num/0", "num/0.5", "num/1", "nil", "bool/false", "table/empty", "str/empty" }
local DELAYS = { "num/0", "num/0.5", "num/1", "num/nan", "num/inf", "num/-inf", "num/2^32", "num/2^53", "num/-2^63",
  "num/1e308", "nil", "bool/true", "table/empty", "str/empty" }
local DRIVERS = { "str/dummy", "str/nosuch", "str/empty", "str/64k", "str/fmt", "str/zeros", "num/0", "num/nan",
  "bool/true", "table/empty", "light/null" }
local LIBRARIES = { "str/libm", "str/nosuch", "str/empty", "str/64k", "str/fmt", "str/zeros", "str/file", "num/0",
  "nil", "bool/true", "table/empty" }
local FILES = { "str/file", "str/file32", "str/vfsfile", "str/junkfile", "str/newfile", "str/dir", "str/subdir",
  "str/empty", "str/fmt", "str/zeros", "str/64k", "num/0", "nil", "table/empty" }
local MODES = { "str/mode-*", "str/empty", "str/fmt", "str/zeros", "str/64k", "num/0", "nil", "table/empty" }

local guarded = {
  SDL_Delay = { why = "sleeps for the given time: only values that convert to 0 or 1 ms", args = { DELAYS } },
  SDL_WaitEvent = { why = "waits for an event: one is queued before each call", before = hooks.pushevent },
  SDL_SemWait = { why = "waits until the semaphore is posted: never one at zero", deny = { "1=sem/zero" } },
  SDL_SemWaitTimeout = { why = "waits up to the timeout: short timeouts only", args = { nil, SHORT } },
  SDL_CondWait = { why = "waits for a signal nothing sends: never a live condition with a live mutex",
    deny = { "1=cond/live&2=mutex/live", "1=cond/live&2=mutex/locked" } },
  SDL_CondWaitTimeout = { why = "waits up to the timeout: short timeouts only", args = { nil, nil, SHORT } },
  SDL_VideoInit = { why = "nil or a driver's name probes the machine's video: 'dummy' or no driver's name",
    args = { DRIVERS } },
  SDL_AudioInit = { why = "nil or a driver's name probes the machine's audio: 'dummy' or no driver's name",
    args = { DRIVERS } },
  SDL_LoadObject = { why = "loads a shared object and runs its constructors: libm or names that load nothing",
    args = { LIBRARIES } },
  SDL_GL_LoadLibrary = { why = "loads a shared object: libm or names that load nothing", args = { LIBRARIES } },
  SDL_SaveBMP = { why = "writes a file: names inside the working directory", args = { nil, FILES } },
  SDL_RWFromFile = { why = "creates or truncates files: names inside the working directory",
    args = { FILES, MODES } },
}

for name, g in pairs(guarded) do
  g.allow = {}
  for i = 1, 4 do
    if g.args and g.args[i] then
      local globs, list = {}, {}
      for _, l in ipairs(g.args[i]) do globs[#globs + 1] = glob(l) end
      for _, e in ipairs(pool) do
        if anyMatch(globs, e.label) then list[#list + 1] = e end
      end
      assert(#list > 0, name)
      g.allow[i] = list
    end
  end
  local deny = {}
  for _, d in ipairs(g.deny or {}) do deny[#deny + 1] = parseConds(d) end
  g.deny = deny
end

------------------------------------------------------------------------------
-- Argument kinds learned from the bindings' own messages.

local subsets = {}
local function subset(kind)
  if subsets[kind] then return subsets[kind] end
  local list = {}
  for _, e in ipairs(pool) do
    local fits
    if kind == "number" then
      fits = e.kind == "number" or e.numeric
    elseif kind == "string" then
      fits = e.kind == "string" or e.kind == "number"
    elseif kind == "boolean" then
      fits = e.kind == "boolean"
    elseif kind == "any" then
      fits = true
    elseif boxNames[kind] then
      fits = e.kind == kind
    else
      fits = e.ud -- handles and raw memory: any userdata
    end
    if fits then list[#list + 1] = e end
  end
  assert(#list > 0, kind)
  subsets[kind] = list
  return list
end

local PROBE = {}

-- The value that passes a kind's check in the probes.
local function representative(kind)
  if kind == "any" then return PROBE end
  for _, e in ipairs(subset(kind)) do
    if not e.dead and not e.stale and not e.result then return e.make() end
  end
end

local function probeCount(name, f)
  local ok, err = pcall(f, false, false, false, false, false, false, false, false, false, false, false, false)
  err = tostring(err)
  local n = err:match("Got 12 arguments instead of (%d+)")
  if n then return tonumber(n) end
  if not ok or err:match("Argument %d+ should be of type") then
    error(format("%s: no argument count in its answer to 12 arguments: %s", name, err))
  end
  error(name .. ": accepted 12 arguments")
end

local function probeKinds(name, f, n)
  local kinds = {}
  for k = 1, n do
    local args = {}
    for i = 1, n do args[i] = i < k and representative(kinds[i]) or PROBE end
    local _, err = pcall(f, unpack(args, 1, n))
    local pos, kind = tostring(err):match("Argument (%d+) should be of type ([%w_]+)")
    kinds[k] = tonumber(pos) == k and kind or "any"
  end
  return kinds
end

------------------------------------------------------------------------------
-- One call.

local DERIVED = {
  SDL_PixelFormat = { "format" },
  SDL_Palette = { "format.palette" },
  SDL_Color = { "format.palette.colors" },
  SDL_Rect = { "clip_rect" },
  userdata = { "pixels", "format", "format.palette.colors" },
}

-- Kinds that take any userdata: raw memory and handles.
local function rawKind(kind)
  return kind ~= nil and kind ~= "number" and kind ~= "string" and kind ~= "boolean" and kind ~= "any"
    and not boxNames[kind]
end

-- A pick: { entry = e } | { same = j } | { from = j, path = "format" }.
local function pick(fn, i, picks)
  local allow = fn.guard and fn.guard.allow[i]
  if allow then return { entry = allow[random(#allow)] } end
  local kind = fn.kinds[i]
  local r = random(100)
  if i > 1 and r <= 5 then return { same = random(i - 1) } end
  if i > 1 and r <= 12 then
    local paths = DERIVED[kind] or (rawKind(kind) and DERIVED.userdata)
    local j = random(i - 1)
    local src = picks[j].entry
    -- (Members of dead objects are read by the field loop.)
    if paths and src and src.kind == "SDL_Surface" and not src.dead and not src.result then
      return { from = j, path = paths[random(#paths)] }
    end
  end
  local e
  if r <= 15 then
    e = byLabel["nil"]
  elseif kind and r <= 95 then
    local list = subset(kind)
    e = list[random(#list)]
  else
    e = pool[random(#pool)]
  end
  if e.result then
    local ring = recycled[e.box]
    if #ring == 0 then return { entry = byLabel["nil"] } end
    return { entry = e, item = ring[random(#ring)] }
  end
  return { entry = e }
end

local function labelOf(p, labels)
  if p.item then return p.item.label end
  if p.entry then return p.entry.label end
  if p.same then return "@" .. p.same .. "=" .. labels[p.same] end
  return "@" .. p.from .. "=" .. labels[p.from] .. "." .. p.path
end

local failures, failureOrder = {}, {}
local function make(e, quiet)
  if e.result then return nil, e.label .. "!" end -- none handed out here
  local ok, v = pcall(e.make)
  if ok and (v ~= nil or e.label == "nil" or e.stale) then return v, e.label end
  if not quiet then
    if not failures[e.label] then failureOrder[#failureOrder + 1] = e.label end
    failures[e.label] = (failures[e.label] or 0) + 1
  end
  return nil, e.label .. "!"
end

local function member(v, path)
  for key in path:gmatch("[^.]+") do v = v[key] end
  return v
end

local function makeValues(picks, count, quiet)
  local values, labels = {}, {}
  for i = 1, count do
    local p = picks[i]
    if p.item then
      local ring = recycled[p.entry.box]
      for j = #ring, 1, -1 do
        if ring[j] == p.item then table.remove(ring, j) end
      end
      values[i], labels[i] = p.item.value, p.item.label
    elseif p.entry then
      values[i], labels[i] = make(p.entry, quiet)
    elseif p.same then
      values[i], labels[i] = values[p.same], labelOf(p, labels)
    else
      local ok, v = pcall(member, values[p.from], p.path)
      values[i], labels[i] = ok and v or nil, labelOf(p, labels) .. (ok and v ~= nil and "" or "!")
    end
  end
  return values, labels
end

-- Objects a call made and returned are kept for later calls (small
-- surfaces and streams, up to RING of each) or released, so that thousands
-- of calls do not pile up surfaces and open files.  The screen and the
-- values passed in are left alone.
local registry = debug.getregistry()
local releasers = {
  [registry.lua_SDL_Surface_p_mt] = { G.SDL_FreeSurface, "Surface" },
  [registry.lua_SDL_RWops_p_mt] = { G.SDL_RWclose, "RWops" },
  [registry.lua_SDL_Overlay_p_mt] = { G.SDL_FreeYUVOverlay },
  [registry.lua_SDL_Cursor_p_mt] = { G.SDL_FreeCursor },
}
local RING = 32
local function small(v)
  local ok, bytes = pcall(function() return v.pitch * v.h end)
  return ok and bytes <= 4 * 1024 * 1024
end
local function releaseResults(res, values, count, name, labels)
  for i = 2, res.n do
    local v = res[i]
    local how = type(v) == "userdata" and releasers[getmetatable(v)]
    if how then
      local p = payload(v)
      local keep = p == nil or (G.SDL_GetVideoSurface() and p == payload(G.SDL_GetVideoSurface()))
      for j = 1, count do keep = keep or payload(values[j]) == p end
      local ring = recycled[how[2]]
      if not keep and ring and (how[2] == "RWops" or small(v)) then
        local made = concat(labels, ","):gsub("result%b<>", "result<...>")
        table.insert(ring, { value = v, label = format("%s/result<%s(%s)>", how[2], name, made) })
        if #ring > RING then
          v = table.remove(ring, 1).value
        else
          keep = true
        end
      end
      if not keep then pcall(how[1], v) end
    end
  end
end

-- SDL states a call may be made in besides the usual one (video and audio
-- up, the harness's video mode set).
local STATES = { "video-off", "no-mode", "sdl-off" }
local function enterState(state)
  if state == "video-off" then
    G.SDL_QuitSubSystem(G.SDL_INIT_VIDEO)
  elseif state == "no-mode" then
    G.SDL_QuitSubSystem(G.SDL_INIT_VIDEO)
    G.SDL_InitSubSystem(G.SDL_INIT_VIDEO)
  elseif state == "sdl-off" then
    G.SDL_Quit()
  end
end

local stats = { calls = 0, skipped = 0, reached = 0 }
local sinceMode = 0

local function callOnce(family, fn, k)
  local count = fn.n
  if random(100) <= 10 then count = random(fn.n + 3) - 1 end
  local picks, labels, state
  for _ = 1, 30 do
    picks, labels = {}, {}
    for i = 1, count do
      picks[i] = pick(fn, i, picks)
      labels[i] = labelOf(picks[i], labels)
    end
    state = random(100) <= 6 and STATES[random(#STATES)] or nil
    if not skipped(fn.name, labels, state and "state/" .. state, fn.guard and fn.guard.deny) then break end
    picks = nil
  end
  if not picks then
    stats.skipped = stats.skipped + 1
    return
  end
  local where = format("%s/%s #%d", family, fn.name, k)
  note("making the values of " .. where)
  local takesStale = false
  for i = 1, count do takesStale = takesStale or (picks[i].entry and picks[i].entry.stale) end
  if takesStale then
    if not staleFresh then prepareStale() end
    staleFresh = false
  end
  if state then enterState(state) end
  local values
  values, labels = makeValues(picks, count, state ~= nil)
  if fn.guard and fn.guard.before and not fn.guard.before() then
    stats.skipped = stats.skipped + 1
    return
  end
  local desc = format("%s(%s)%s", where, concat(labels, ", "), state and " state/" .. state or "")
  note(desc)
  if opt.trace >= 2 then io.stderr:write(desc, "\n") end
  local res = pack(pcall(fn.f, unpack(values, 1, count)))
  note("releasing the results of " .. desc)
  if res[1] then releaseResults(res, values, count, fn.name, labels) end
  stats.calls = stats.calls + 1
  local err = not res[1] and tostring(res[2]) or ""
  if not (err:find("should be of type", 1, true) or err:find("arguments instead of", 1, true)) then
    stats.reached = stats.reached + 1
  end
  sinceMode = sinceMode + 1
  note("restoring SDL after " .. desc)
  hooks.restore(state ~= nil or sinceMode >= 16)
  if state or sinceMode >= 16 then sinceMode = 0 end
end

local function fuzzFunction(family, row)
  note("probing " .. row.name)
  local n = probeCount(row.name, row.f)
  local fn = { name = row.name, f = row.f, n = n, kinds = probeKinds(row.name, row.f, n), guard = guarded[row.name] }
  hooks.reseed(row.name)
  note("preparing values for " .. row.name)
  hooks.files()
  writeCrafted()
  hooks.restore(true)
  local calls, reached = stats.calls, stats.reached
  for k = 1, opt.calls do callOnce(family, fn, k) end
  if opt.trace >= 1 then
    io.stderr:write(format("%s/%s(%s): %d calls, %d past the argument checks\n", family, fn.name,
      concat(fn.kinds, ", "), stats.calls - calls, stats.reached - reached))
  end
end

------------------------------------------------------------------------------
-- Fields.  Writes to fields that SDL frees or trusts for sizes go only to
-- objects made for the purpose, which are released right after (the video
-- information belongs to the video subsystem, which is restarted).  Dead
-- objects get every field access like the others.

local SACRIFICIAL = {
  SDL_Surface = { "flags", "format", "w", "h", "pitch", "pixels", "offset", "clip_rect", "locked", "refcount" },
  SDL_PixelFormat = { "palette", "BitsPerPixel", "BytesPerPixel" },
  SDL_Palette = { "colors", "ncolors" },
  SDL_Overlay = { "format", "w", "h", "planes", "hw_overlay" },
  SDL_Cursor = { "area", "hot_x", "hot_y", "data", "mask", "wm_cursor" },
  SDL_VideoInfo = "all",
}
-- Fields after whose write the object is dropped rather than released.
local DROPPED = {
  ["SDL_Surface.locked"] = "SDL_FreeSurface unlocks a surface as many times as it counts locks",
}

local function sacrificial(typeName, field)
  local s = SACRIFICIAL[typeName]
  if s == "all" then return true end
  for _, f in ipairs(s or {}) do
    if f == field then return true end
  end
  return false
end

local function freeSurface(s) return function() G.SDL_FreeSurface(s) end end
local function surfaceSacrifice(variant, path)
  for _, m in ipairs(surfaceMakers) do
    if m[1] == variant then
      return function()
        local s = m[2]()
        return path and member(s, path) or s, freeSurface(s)
      end
    end
  end
end
local SACRIFICE = {
  Surface = {},
  PixelFormat = {
    { "8", surfaceSacrifice("8", "format") }, { "32", surfaceSacrifice("32", "format") },
    { "rle", surfaceSacrifice("rle", "format") },
  },
  Palette = { { "8", surfaceSacrifice("8", "format.palette") }, { "bmp", surfaceSacrifice("bmp", "format.palette") } },
  Overlay = {},
  Cursor = { { "live", function()
    local c = cursor()
    return c, function() G.SDL_FreeCursor(c) end
  end } },
  VideoInfo = { { "live", function()
    return assert(G.SDL_GetVideoInfo()), function()
      G.SDL_QuitSubSystem(G.SDL_INIT_VIDEO)
      hooks.restore(true)
    end
  end } },
}
for _, m in ipairs(surfaceMakers) do
  if not byLabel["Surface/" .. m[1]].shared then table.insert(SACRIFICE.Surface, { m[1], surfaceSacrifice(m[1]) }) end
end
for _, fmt in ipairs(OVERLAYS) do
  table.insert(SACRIFICE.Overlay, { fmt:lower(), function()
    local o = overlay(fmt)
    return o, function() G.SDL_FreeYUVOverlay(o) end
  end })
end

local function assign(o, k, v) o[k] = v end
local function index(o, k) return o[k] end

local fieldStats = { writes = 0, reads = 0, skipped = 0 }

-- Makes the target, applies `access` to it, and releases a sacrificed one.
local function onTarget(fullName, target, valueEntry, access, key)
  local labels = { target.label, valueEntry and valueEntry.label }
  if skipped(fullName, labels) then
    fieldStats.skipped = fieldStats.skipped + 1
    return
  end
  note("making the object for " .. fullName .. " on " .. target.label)
  local ok, obj, release = pcall(target.make)
  if not ok or (obj == nil and not target.stale) then
    error(format("%s: cannot make %s: %s", fullName, target.label, tostring(obj)))
  end
  if not target.sacrifice or DROPPED[fullName] then release = nil end
  local v, vlabel
  if valueEntry then
    v, vlabel = make(valueEntry)
    note(format("fields %s = %s on %s", fullName, vlabel, target.label))
    fieldStats.writes = fieldStats.writes + 1
  else
    note(format("fields %s read on %s", fullName, target.label))
    fieldStats.reads = fieldStats.reads + 1
  end
  pcall(access, obj, key, v)
  if release then
    note(format("fields releasing %s after %s = %s", target.label, fullName, vlabel or "(read)"))
    release()
  end
  hooks.restore("if changed") -- some values set a video mode of their own
end

local function fuzzFields()
  hooks.reseed("fields")
  hooks.files()
  writeCrafted()
  prepareStale()
  for _, t in ipairs(boxTypes) do
    local fields = {}
    for _, f in ipairs(t.fields) do fields[#fields + 1] = f end
    -- Names the type lacks are ignored on reads and writes alike.
    fields[#fields + 1] = { name = "nosuch", writable = true }
    fields[#fields + 1] = { name = 1, writable = true }
    for _, f in ipairs(fields) do
      local fullName = t.name .. "." .. tostring(f.name)
      if selected("fields", fullName) and not skippedWhole(fullName) then
        local sacrifice = t.pointer and sacrificial(t.name, f.name)
        local targets = {}
        for _, e in ipairs(byBox[t.id]) do
          if not e.result and (e.dead or not sacrifice) then targets[#targets + 1] = e end
        end
        if sacrifice then
          for _, s in ipairs(assert(SACRIFICE[t.id], t.id)) do
            targets[#targets + 1] = { label = t.id .. "/" .. s[1] .. "(released after)", make = s[2], sacrifice = true }
          end
        end
        for _, target in ipairs(targets) do onTarget(fullName, target, nil, index, f.name) end
        if f.writable then
          for k, e in ipairs(pool) do
            onTarget(fullName, targets[(k - 1) % #targets + 1], e, assign, f.name)
          end
        end
        hooks.restore(true)
      end
    end
  end
end

------------------------------------------------------------------------------
-- The run.

for _, name in ipairs((function()
  local names = {}
  for n in pairs(guarded) do names[#names + 1] = n end
  table.sort(names)
  return names
end)()) do
  say("narrowed  %-20s %s", name, guarded[name].why)
end

local total = 0
for _, family in ipairs(hooks.families()) do
  local before, reachedBefore, functions, whole = stats.calls, stats.reached, 0, 0
  local skippedBefore = stats.skipped
  for _, row in ipairs(family.rows) do
    if selected(family.name, row.name) then
      if skippedWhole(row.name) then
        whole = whole + 1
      else
        functions = functions + 1
        fuzzFunction(family.name, row)
      end
    end
  end
  local calls = stats.calls - before
  total = total + calls
  say("%-9s %7d calls over %d functions, %d past the argument checks%s%s", family.name, calls, functions,
    stats.reached - reachedBefore,
    whole > 0 and format(", %d functions skipped", whole) or "",
    stats.skipped > skippedBefore and format(", %d calls skipped", stats.skipped - skippedBefore) or "")
end

fuzzFields()
total = total + fieldStats.writes + fieldStats.reads
say("%-9s %7d writes and %d reads over %d box types%s", "fields", fieldStats.writes, fieldStats.reads, #boxTypes,
  fieldStats.skipped > 0 and format(", %d skipped", fieldStats.skipped) or "")

if #failureOrder > 0 then
  local list = {}
  for _, l in ipairs(failureOrder) do list[#list + 1] = format("%s x%d", l, failures[l]) end
  say("values that could not be made (passed as nil): %s", concat(list, ", "))
end
say("total     %7d calls and field accesses", total)
