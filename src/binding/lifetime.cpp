#include "binding/lifetime.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kv {

namespace {

constexpr const char* kNames[] = {
    "object",
#define KV_LIVE_NAME(Id, name, counted) name,
    KAVRO_LIVE_TYPES(KV_LIVE_NAME)
#undef KV_LIVE_NAME
};
constexpr bool kCounted[] = {
    false,
#define KV_LIVE_COUNTED(Id, name, counted) counted,
    KAVRO_LIVE_TYPES(KV_LIVE_COUNTED)
#undef KV_LIVE_COUNTED
};
constexpr size_t kTypeCount = static_cast<size_t>(Live::Count);
static_assert(kTypeCount <= 64, "one bit per type in a slot's mask");

uint64_t Bit(Live t) { return uint64_t{1} << static_cast<unsigned>(t); }

// ---- The open-addressing table (linear probing, backward-shift deletion).
LiveSlot gInitialSlots[16];
// Live objects per type, so that a type with none costs no scan.
size_t gLiveCount[kTypeCount];

bool Grow() noexcept {
  const uintptr_t oldCap = gLiveTable.mask + 1;
  const uintptr_t cap = oldCap * 2;
  auto* slots = static_cast<LiveSlot*>(std::calloc(cap, sizeof(LiveSlot)));
  if (!slots) return false;
  LiveSlot* old = gLiveTable.slots;
  gLiveTable.slots = slots;
  gLiveTable.mask = cap - 1;
  gLiveTable.shift -= 1;
  for (uintptr_t i = 0; i < oldCap; ++i) {
    if (!old[i].key) continue;
    uintptr_t j = LiveIndex(old[i].key, gLiveTable.shift);
    while (slots[j].key) j = (j + 1) & gLiveTable.mask;
    slots[j] = old[i];
  }
  if (old != gInitialSlots) std::free(old);
  return true;
}

LiveSlot* FindSlot(uintptr_t key) noexcept {
  for (uintptr_t i = LiveIndex(key, gLiveTable.shift);; i = (i + 1) & gLiveTable.mask) {
    LiveSlot& s = gLiveTable.slots[i];
    if (s.key == key) return &s;
    if (s.key == 0) return nullptr;
  }
}

bool SetBit(uintptr_t key, Live t) noexcept {
  if (LiveSlot* s = FindSlot(key)) {
    if (!(s->types & Bit(t))) ++gLiveCount[size_t(t)];
    s->types |= Bit(t);
    return true;
  }
  // At most three quarters full.
  if ((gLiveTable.used + 1) * 4 > (gLiveTable.mask + 1) * 3 && !Grow()) return false;
  uintptr_t i = LiveIndex(key, gLiveTable.shift);
  while (gLiveTable.slots[i].key) i = (i + 1) & gLiveTable.mask;
  gLiveTable.slots[i] = {key, Bit(t)};
  ++gLiveTable.used;
  ++gLiveCount[size_t(t)];
  return true;
}

void RemoveSlot(LiveSlot* s) noexcept {
  const uintptr_t mask = gLiveTable.mask;
  uintptr_t hole = static_cast<uintptr_t>(s - gLiveTable.slots);
  for (uintptr_t i = (hole + 1) & mask; gLiveTable.slots[i].key; i = (i + 1) & mask) {
    uintptr_t home = LiveIndex(gLiveTable.slots[i].key, gLiveTable.shift);
    // Move the entry back into the hole when its home lies cyclically in
    // (i, hole]: it could not be found past the hole otherwise.
    bool movable = hole <= i ? (home <= hole || home > i) : (home <= hole && home > i);
    if (movable) {
      gLiveTable.slots[hole] = gLiveTable.slots[i];
      hole = i;
    }
  }
  gLiveTable.slots[hole] = {0, 0};
  --gLiveTable.used;
}

void ClearBit(uintptr_t key, Live t) noexcept {
  LiveSlot* s = FindSlot(key);
  if (!s || !(s->types & Bit(t))) return;
  --gLiveCount[size_t(t)];
  s->types &= ~Bit(t);
  if (!s->types) RemoveSlot(s);
}

// ---- What an object has beside its liveness.
struct Key {
  uintptr_t p;
  Live t;
  bool operator==(const Key& o) const { return p == o.p && t == o.t; }
};
struct KeyHash {
  size_t operator()(const Key& k) const { return std::hash<uintptr_t>()(k.p) ^ (size_t(k.t) << 1); }
};

struct KeptMember {
  size_t offset;
  size_t size;
  uint64_t bits;     // the bits the library's value is put back in
  uint64_t library;  // the member before the script's first write
  uint64_t script;   // the member after the script's last write
};

struct Extra {
  int count = 0;                        // counted types: opens not yet released
  int holders = 0;                      // live objects reading this one
  void (*deferred)(void*) = nullptr;    // release waiting for the holders
  uint64_t anchor = 0;                  // key of the anchor table, 0: none
  std::vector<Key> held;                // objects this one reads
  std::vector<KeptMember> kept;         // members the script wrote
};

std::unordered_map<Key, Extra, KeyHash> gExtras;
// Objects whose release waits for their holders.
size_t gDeferred = 0;
void SetDeferred(Extra& e, void (*release)(void*)) noexcept {
  gDeferred += (release != nullptr) - (e.deferred != nullptr);
  e.deferred = release;
}
// Objects seen released, to tell "released" from "never made" in messages.
// Bounded: when full it starts over (older objects then read as unknown).
std::unordered_set<Key, KeyHash> gReleased;
constexpr size_t kReleasedLimit = 1 << 16;
TypeHooks gHooks[kTypeCount];
uint64_t gNextAnchor = 1;
// Anchor tables that could not be dropped without a Lua state.
std::vector<uint64_t> gPendingDrops;

const char kAnchorTable[] = "kavro.anchors";

Extra* FindExtra(Key k) noexcept {
  auto it = gExtras.find(k);
  return it == gExtras.end() ? nullptr : &it->second;
}

Extra* GetExtra(Key k) noexcept {
  try {
    return &gExtras[k];
  } catch (...) {
    return nullptr;
  }
}

void RememberReleased(Key k) noexcept {
  try {
    if (gReleased.size() >= kReleasedLimit) gReleased.clear();
    gReleased.insert(k);
  } catch (...) {
  }
}

// Pushes the anchor table registry entry (creating it when missing).
void PushAnchors(lua_State* L) {
  lua_getfield(L, LUA_REGISTRYINDEX, kAnchorTable);
  if (lua_istable(L, -1)) return;
  lua_pop(L, 1);
  lua_newtable(L);
  lua_pushvalue(L, -1);
  lua_setfield(L, LUA_REGISTRYINDEX, kAnchorTable);
}

// Removing a key never allocates, so this cannot raise.
void DropAnchor(lua_State* L, uint64_t anchor) noexcept {
  if (!anchor) return;
  if (!L) {
    try {
      gPendingDrops.push_back(anchor);
    } catch (...) {
    }
    return;
  }
  lua_getfield(L, LUA_REGISTRYINDEX, kAnchorTable);
  if (lua_istable(L, -1)) {
    lua_pushlightuserdata(L, reinterpret_cast<void*>(static_cast<uintptr_t>(anchor)));
    lua_pushnil(L);
    lua_rawset(L, -3);
  }
  lua_pop(L, 1);
}

void FlushPendingDrops(lua_State* L) noexcept {
  if (!L || gPendingDrops.empty()) return;
  std::vector<uint64_t> drops;
  drops.swap(gPendingDrops);
  for (uint64_t a : drops) DropAnchor(L, a);
}

void Finish(lua_State* L, Key k) noexcept;

uint64_t ReadMember(const void* at, size_t size) {
  uint64_t v = 0;
  std::memcpy(&v, at, size);
  return v;
}

// Gives members the script wrote their library values back.
void PutBack(Key k) noexcept {
  Extra* e = FindExtra(k);
  if (!e) return;
  auto* obj = reinterpret_cast<uint8_t*>(k.p);
  for (const KeptMember& m : e->kept) {
    uint64_t now = ReadMember(obj + m.offset, m.size);
    if (now != m.script) continue;  // the library changed it since
    uint64_t v = (now & ~m.bits) | (m.library & m.bits);
    std::memcpy(obj + m.offset, &v, m.size);
  }
  e->kept.clear();
}

// Lets go of what `e` held: a held object waiting for its last holder is
// released by the library now.
void LetGo(lua_State* L, Extra& e) noexcept {
  std::vector<Key> held;
  held.swap(e.held);
  for (const Key& h : held) {
    Extra* he = FindExtra(h);
    if (!he) continue;
    if (--he->holders > 0 || !he->deferred) continue;
    void (*release)(void*) = he->deferred;
    SetDeferred(*he, nullptr);
    PutBack(h);
    release(reinterpret_cast<void*>(h.p));
    Finish(L, h);
  }
}

// Drops everything kept for an object that is no longer live.
void Finish(lua_State* L, Key k) noexcept {
  auto it = gExtras.find(k);
  if (it == gExtras.end()) return;
  Extra e = std::move(it->second);
  gExtras.erase(it);
  DropAnchor(L, e.anchor);
  LetGo(L, e);
}

// The live objects that hold `k`.
std::vector<Key> HoldersOf(Key k) {
  std::vector<Key> out;
  for (auto& [key, e] : gExtras)
    for (const Key& h : e.held)
      if (h == k) out.push_back(key);
  return out;
}

}  // namespace

LiveTable gLiveTable = {gInitialSlots, 15, 60, 0};

const char* LiveName(Live type) noexcept {
  size_t i = static_cast<size_t>(type);
  return i < kTypeCount ? kNames[i] : "object";
}

void RefuseDead(Live type, const void* p) noexcept {
  Key k{reinterpret_cast<uintptr_t>(p), type};
  bool released = p && (gReleased.count(k) || FindExtra(k));
  SDL_SetError(released ? "%s has been released" : "%s was never made by kavro", LiveName(type));
}

void Track(lua_State* L, Live type, const void* p) noexcept {
  FlushPendingDrops(L);
  if (!p || type == Live::None) return;
  const uintptr_t key = reinterpret_cast<uintptr_t>(p);
  Key k{key, type};
  if (Extra* e = FindExtra(k); e && e->deferred) {
    // The library handed out again an object the script released while it
    // was held: it is the script's again, and no longer waits for release.
    SetDeferred(*e, nullptr);
  }
  if (kCounted[static_cast<size_t>(type)]) {
    Extra* e = GetExtra(k);
    if (!e) return;  // out of memory: left untracked, then refused
    ++e->count;
  }
  if (!SetBit(key, type)) {
    Finish(L, k);
    return;
  }
  gReleased.erase(k);
}

namespace {

// Ends an object's life; `touch`: its memory is still there.
void End(lua_State* L, Live type, const void* p, bool touch) noexcept {
  if (!p) return;
  Key k{reinterpret_cast<uintptr_t>(p), type};
  Extra* e = FindExtra(k);
  const bool live = IsLive(type, p);
  if (!live && !e) return;
  if (live) {
    ClearBit(k.p, type);
    RememberReleased(k);
    if (touch && gHooks[size_t(type)].dying) gHooks[size_t(type)].dying(L, p);
    e = FindExtra(k);
  }
  if (e && e->holders > 0) {
    // Whatever reads this object cannot outlive it.
    std::vector<Key> holders;
    try {
      holders = HoldersOf(k);
    } catch (...) {
    }
    for (const Key& h : holders) End(L, h.t, reinterpret_cast<void*>(h.p), true);
    e = FindExtra(k);
    if (e) e->holders = 0;
  }
  if (e) SetDeferred(*e, nullptr);
  if (touch) PutBack(k);
  Finish(L, k);
}

}  // namespace

void Kill(lua_State* L, Live type, const void* p) noexcept { End(L, type, p, true); }

void KillReaders(lua_State* L, Live type, const void* p) noexcept {
  Key k{reinterpret_cast<uintptr_t>(p), type};
  Extra* e = FindExtra(k);
  if (!e || e->holders == 0) return;
  std::vector<Key> holders;
  try {
    holders = HoldersOf(k);
  } catch (...) {
  }
  for (const Key& h : holders) End(L, h.t, reinterpret_cast<void*>(h.p), true);
}

void Forget(lua_State* L, Live type, const void* p) noexcept { End(L, type, p, false); }

void KillAll(lua_State* L, Live type) noexcept {
  if (gLiveCount[size_t(type)] == 0 && gDeferred == 0) return;
  std::vector<uintptr_t> keys;
  try {
    for (uintptr_t i = 0; i <= gLiveTable.mask && gLiveCount[size_t(type)] > 0; ++i) {
      const LiveSlot& s = gLiveTable.slots[i];
      if (s.key && (s.types & Bit(type))) keys.push_back(s.key);
    }
    if (gDeferred > 0)
      for (auto& [k, e] : gExtras)
        if (k.t == type && e.deferred) keys.push_back(k.p);
  } catch (...) {
  }
  for (uintptr_t key : keys) Kill(L, type, reinterpret_cast<void*>(key));
}

bool ReleaseNow(lua_State* L, Live type, void* p, void (*release)(void*)) noexcept {
  Key k{reinterpret_cast<uintptr_t>(p), type};
  Extra* e = FindExtra(k);
  if (e && kCounted[static_cast<size_t>(type)] && --e->count > 0) return true;
  if (e && e->holders > 0) {
    ClearBit(k.p, type);
    RememberReleased(k);
    if (gHooks[size_t(type)].dying) gHooks[size_t(type)].dying(L, p);
    e = FindExtra(k);
    if (e) SetDeferred(*e, release);
    return false;
  }
  Kill(L, type, p);
  return true;
}

bool IsHeld(Live type, const void* p) noexcept {
  const Extra* e = FindExtra({reinterpret_cast<uintptr_t>(p), type});
  return e && e->holders > 0;
}

void Anchor(lua_State* L, Live type, const void* p, int idx, const char* slot) {
  if (!p || !IsLive(type, p)) return;
  idx = idx < 0 && idx > LUA_REGISTRYINDEX ? lua_gettop(L) + idx + 1 : idx;
  Extra* e = GetExtra({reinterpret_cast<uintptr_t>(p), type});
  if (!e) return;
  PushAnchors(L);
  if (!e->anchor) {
    // The key is set before the table is made: a memory error while making
    // it leaves a key with nothing under it, which dropping handles.
    uint64_t anchor = gNextAnchor++;
    e->anchor = anchor;
    lua_pushlightuserdata(L, reinterpret_cast<void*>(static_cast<uintptr_t>(anchor)));
    lua_newtable(L);
    lua_rawset(L, -3);
  }
  lua_pushlightuserdata(L, reinterpret_cast<void*>(static_cast<uintptr_t>(e->anchor)));
  lua_rawget(L, -2);
  if (lua_istable(L, -1)) {
    if (slot) {
      lua_pushstring(L, slot);
      lua_pushvalue(L, idx);
      lua_rawset(L, -3);
    } else {
      lua_pushvalue(L, idx);
      lua_rawseti(L, -2, static_cast<int>(lua_objlen(L, -2)) + 1);
    }
  }
  lua_pop(L, 2);
}

void Hold(lua_State* L, Live holderType, const void* holder, Live heldType, const void* held) noexcept {
  (void)L;
  if (!holder || !held || !IsLive(holderType, holder)) return;
  Key hk{reinterpret_cast<uintptr_t>(held), heldType};
  Extra* he = GetExtra(hk);
  Extra* e = GetExtra({reinterpret_cast<uintptr_t>(holder), holderType});
  if (!he || !e) return;
  try {
    e->held.push_back(hk);
  } catch (...) {
    return;
  }
  ++he->holders;
}

void PassAnchors(lua_State* L, Live fromType, const void* from, Live toType, const void* to) {
  Extra* fe = FindExtra({reinterpret_cast<uintptr_t>(from), fromType});
  if (!fe || !fe->anchor || !to || !IsLive(toType, to)) return;
  Extra* te = GetExtra({reinterpret_cast<uintptr_t>(to), toType});
  if (!te) return;
  if (!te->anchor) {
    te->anchor = fe->anchor;
    fe->anchor = 0;
    return;
  }
  // Both have anchors: the receiving table keeps the other one's table.
  lua_getfield(L, LUA_REGISTRYINDEX, kAnchorTable);
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    return;
  }
  lua_pushlightuserdata(L, reinterpret_cast<void*>(static_cast<uintptr_t>(te->anchor)));
  lua_rawget(L, -2);
  lua_pushlightuserdata(L, reinterpret_cast<void*>(static_cast<uintptr_t>(fe->anchor)));
  lua_rawget(L, -3);
  if (lua_istable(L, -2) && lua_istable(L, -1)) {
    lua_rawseti(L, -2, static_cast<int>(lua_objlen(L, -2)) + 1);
    lua_pop(L, 2);
  } else {
    lua_pop(L, 3);
  }
}

bool DescribeType(Live type, TypeHooks hooks) noexcept {
  size_t i = static_cast<size_t>(type);
  if (i >= kTypeCount) return false;
  gHooks[i] = hooks;
  return true;
}

void KeepMember(Live type, const void* obj, const void* member, size_t size, uint64_t bits) noexcept {
  if (size > sizeof(uint64_t) || !IsLive(type, obj)) return;
  Extra* e = GetExtra({reinterpret_cast<uintptr_t>(obj), type});
  if (!e) return;
  size_t offset = static_cast<const uint8_t*>(member) - static_cast<const uint8_t*>(obj);
  for (const KeptMember& m : e->kept)
    if (m.offset == offset) return;
  uint64_t now = ReadMember(member, size);
  try {
    e->kept.push_back({offset, size, bits, now, now});
  } catch (...) {
  }
}

void NoteMember(Live type, const void* obj, const void* member, size_t size) noexcept {
  Extra* e = FindExtra({reinterpret_cast<uintptr_t>(obj), type});
  if (!e) return;
  size_t offset = static_cast<const uint8_t*>(member) - static_cast<const uint8_t*>(obj);
  for (KeptMember& m : e->kept)
    if (m.offset == offset) m.script = ReadMember(member, size);
}

void PutBackMembers(Live type, const void* obj) noexcept { PutBack({reinterpret_cast<uintptr_t>(obj), type}); }

Span FindBuffer(const void* p) noexcept {
  struct Search {
    const uint8_t* p;
    Span found;
    Live type;
    const void* object;
  } search{static_cast<const uint8_t*>(p), {nullptr, 0, Live::None, nullptr}, Live::None, nullptr};
  if (!p) return search.found;
  // Buffers may overlap (a surface made over another's pixels): the one
  // reaching furthest is the memory's owner.
  for (uintptr_t i = 0; i <= gLiveTable.mask; ++i) {
    const LiveSlot& s = gLiveTable.slots[i];
    if (!s.key) continue;
    for (size_t t = 1; t < kTypeCount; ++t) {
      if (!(s.types & (uint64_t{1} << t)) || !gHooks[t].buffers) continue;
      search.type = static_cast<Live>(t);
      search.object = reinterpret_cast<const void*>(s.key);
      gHooks[t].buffers(
          search.object,
          [](void* ctx, const void* base, size_t size) {
            auto* sr = static_cast<Search*>(ctx);
            auto* b = static_cast<const uint8_t*>(base);
            if (!b || sr->p < b || sr->p >= b + size) return;
            size_t left = size_t(b + size - sr->p);
            if (!sr->found.base || left > sr->found.size) sr->found = {sr->p, left, sr->type, sr->object};
          },
          &search);
    }
  }
  return search.found;
}

void ForEachLive(Live type, void (*visit)(void* ctx, void* object), void* ctx) noexcept {
  if (gLiveCount[size_t(type)] == 0) return;
  std::vector<uintptr_t> keys;
  try {
    for (uintptr_t i = 0; i <= gLiveTable.mask; ++i) {
      const LiveSlot& s = gLiveTable.slots[i];
      if (s.key && (s.types & Bit(type))) keys.push_back(s.key);
    }
  } catch (...) {
  }
  for (uintptr_t key : keys)
    if (IsLive(type, reinterpret_cast<void*>(key))) visit(ctx, reinterpret_cast<void*>(key));
}

void ResetLifetimes(lua_State* L) noexcept {
  if (gLiveTable.slots != gInitialSlots) std::free(gLiveTable.slots);
  std::memset(gInitialSlots, 0, sizeof gInitialSlots);
  gLiveTable = {gInitialSlots, 15, 60, 0};
  gExtras.clear();
  gDeferred = 0;
  std::memset(gLiveCount, 0, sizeof gLiveCount);
  gReleased.clear();
  gPendingDrops.clear();
  if (L) {
    lua_newtable(L);
    lua_setfield(L, LUA_REGISTRYINDEX, kAnchorTable);
  }
}

}  // namespace kv
