// The event functions over the one global event record: queue round trips
// under the dummy video driver, argument errors, and a real key press on an
// X server.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "binding/boxes.h"
#include "helpers/kavro.h"
#include "support/e2e.h"
#include "support/lua_state.h"

namespace {

// The number of events waiting in SDL's queue, looked at from C.
int QueueLength() {
  SDL_Event events[32];
  return SDL_PeepEvents(events, 32, SDL_PEEKEVENT, SDL_ALLEVENTS);
}

std::string N(int v) { return std::to_string(v); }

class EventBinding : public LuaTest {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Event drop;
    while (SDL_PollEvent(&drop)) {
    }
    std::memset(KAVRO_GetGlobalEvent(), 0, sizeof(SDL_Event));
    LuaTest::SetUp();
  }
  void TearDown() override {
    LuaTest::TearDown();
    SDL_Quit();
  }
};

TEST_F(EventBinding, GlobalEventBoxesShareOneRecord) {
  Exec("e1 = KAVRO_GetGlobalEvent() e2 = KAVRO_GetGlobalEvent()");
  EXPECT_FALSE(Bool("e1 == e2"));
  EXPECT_TRUE(Bool("getmetatable(e1) == debug.getregistry()['lua_SDL_Event_p_mt']"));
  for (const char* name : {"e1", "e2"}) {
    lua_getglobal(L, name);
    void* block = kv::ToBox<kv::box::Event>(L, -1);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(kv::PayloadOf<kv::box::Event>(block), KAVRO_GetGlobalEvent());
    lua_pop(L, 1);
  }
  EXPECT_EQ(Run("KAVRO_GetGlobalEvent(1)"), "test:1: KAVRO_GetGlobalEvent: Got 1 arguments instead of 0");
}

TEST_F(EventBinding, UserEventRoundTripThroughTwoBoxes) {
  SDL_Event* record = KAVRO_GetGlobalEvent();
  static int marker;
  lua_pushlightuserdata(L, &marker);
  lua_setglobal(L, "marker");
  Exec("e1 = KAVRO_GetGlobalEvent() e2 = KAVRO_GetGlobalEvent()\n"
       "u = e1.user\n"
       "u.type = " + N(SDL_USEREVENT + 2) + "\n"
       "u.code = 77\n"
       "u.data1 = marker\n");
  // Changing the copy leaves the record alone.
  EXPECT_EQ(record->type, 0);
  EXPECT_EQ(record->user.code, 0);
  Exec("e1.user = u");
  EXPECT_EQ(record->type, SDL_USEREVENT + 2);
  EXPECT_EQ(record->user.code, 77);
  EXPECT_EQ(Num("SDL_PushEvent(e1)"), 0);
  EXPECT_EQ(QueueLength(), 1);

  // Clear the record through the first box, poll through the second.
  Exec("local c = e1.user c.code = 0 e1.user = c e1.type = 0");
  EXPECT_EQ(record->type, 0);
  EXPECT_EQ(record->user.code, 0);
  EXPECT_EQ(Num("SDL_PollEvent(e2)"), 1);
  EXPECT_EQ(record->type, SDL_USEREVENT + 2);
  EXPECT_EQ(record->user.code, 77);
  EXPECT_EQ(record->user.data1, &marker);
  EXPECT_EQ(Num("e1.type"), SDL_USEREVENT + 2);
  EXPECT_EQ(Num("e1.user.code"), 77);
  EXPECT_TRUE(Bool("e1.user.data1 == marker"));
  EXPECT_EQ(QueueLength(), 0);
}

TEST_F(EventBinding, PollOnAnEmptyQueueLeavesTheRecord) {
  SDL_Event* record = KAVRO_GetGlobalEvent();
  Exec("e = KAVRO_GetGlobalEvent() e.type = " + N(SDL_MOUSEMOTION) +
       " local m = e.motion m.x = 17 m.yrel = -3 e.motion = m");
  SDL_Event before;
  std::memcpy(&before, record, sizeof before);
  EXPECT_EQ(Num("SDL_PollEvent(e)"), 0);
  EXPECT_EQ(std::memcmp(&before, record, sizeof before), 0);
  EXPECT_EQ(Num("e.type"), SDL_MOUSEMOTION);
  EXPECT_EQ(Num("e.motion.x"), 17);
  EXPECT_EQ(Num("e.motion.yrel"), -3);
}

TEST_F(EventBinding, EventStateQueryAndChange) {
  EXPECT_EQ(Num("SDL_EventState(" + N(SDL_KEYDOWN) + ", " + N(SDL_QUERY) + ")"), SDL_ENABLE);
  EXPECT_EQ(Num("SDL_EventState(" + N(SDL_USEREVENT) + ", " + N(SDL_IGNORE) + ")"), SDL_ENABLE);
  EXPECT_EQ(SDL_EventState(SDL_USEREVENT, SDL_QUERY), SDL_IGNORE);
  EXPECT_EQ(Num("SDL_EventState(" + N(SDL_USEREVENT) + ", " + N(SDL_QUERY) + ")"), SDL_IGNORE);
  // The type keeps its low eight bits.
  EXPECT_EQ(Num("SDL_EventState(" + N(256 + SDL_USEREVENT) + ", " + N(SDL_ENABLE) + ")"), SDL_IGNORE);
  EXPECT_EQ(SDL_EventState(SDL_USEREVENT, SDL_QUERY), SDL_ENABLE);
}

TEST_F(EventBinding, EventStateOfATypeWithoutAStateSlot) {
  // SDL's state table ends at SDL_NUMEVENTS: such types neither answer nor
  // keep a state, and the other types keep theirs.
  Uint8 before[SDL_NUMEVENTS];
  for (int type = 0; type < SDL_NUMEVENTS; ++type) before[type] = SDL_EventState(Uint8(type), SDL_QUERY);
  for (int type : {int(SDL_NUMEVENTS), 40, 200, 254}) {
    EXPECT_EQ(Num("SDL_EventState(" + N(type) + ", " + N(SDL_ENABLE) + ")"), SDL_IGNORE) << type;
    EXPECT_EQ(Num("SDL_EventState(" + N(type) + ", " + N(SDL_QUERY) + ")"), SDL_IGNORE) << type;
    EXPECT_EQ(Num("SDL_EventState(" + N(type) + ", " + N(SDL_IGNORE) + ")"), SDL_IGNORE) << type;
  }
  for (int type = 0; type < SDL_NUMEVENTS; ++type) EXPECT_EQ(SDL_EventState(Uint8(type), SDL_QUERY), before[type]) << type;
  // 255 still stands for every type.
  EXPECT_EQ(Num("SDL_EventState(255, " + N(SDL_QUERY) + ")"), SDL_ENABLE);
  EXPECT_EQ(Num("SDL_EventState(-1, " + N(SDL_IGNORE) + ")"), SDL_ENABLE);
  EXPECT_EQ(SDL_EventState(SDL_KEYDOWN, SDL_QUERY), SDL_IGNORE);
}

TEST_F(EventBinding, QuitRequestedPeeksWithoutTaking) {
  EXPECT_EQ(Num("SDL_QuitRequested()"), 0);
  SDL_Event user;
  std::memset(&user, 0, sizeof user);
  user.type = SDL_USEREVENT;
  ASSERT_EQ(SDL_PushEvent(&user), 0);
  EXPECT_EQ(Num("SDL_QuitRequested()"), 0) << "other events are no quit request";
  Exec("e = KAVRO_GetGlobalEvent() e.type = " + N(SDL_QUIT));
  EXPECT_EQ(Num("SDL_PushEvent(e)"), 0);
  Exec("e.type = 0");
  EXPECT_GT(Num("SDL_QuitRequested()"), 0);
  EXPECT_GT(Num("SDL_QuitRequested()"), 0);
  EXPECT_EQ(QueueLength(), 2);
  EXPECT_EQ(Num("SDL_PollEvent(e)"), 1);
  EXPECT_EQ(Num("e.type"), SDL_USEREVENT);
  EXPECT_EQ(Num("SDL_PollEvent(e)"), 1);
  EXPECT_EQ(Num("e.type"), SDL_QUIT);
  EXPECT_EQ(Num("SDL_QuitRequested()"), 0);
  EXPECT_EQ(Run("SDL_QuitRequested(1)"), "test:1: SDL_QuitRequested: Got 1 arguments instead of 0");
}

TEST_F(EventBinding, PeepEventsStaysInsideTheOneRecord) {
  Exec("e = KAVRO_GetGlobalEvent() local u = e.user u.type = " + N(SDL_USEREVENT) + " u.code = 1 e.user = u");
  // Adding: only the record's one event is queued, whatever the count says.
  EXPECT_EQ(Num("SDL_PeepEvents(e, 5, " + N(SDL_ADDEVENT) + ", 0)"), 1);
  EXPECT_EQ(QueueLength(), 1);
  for (int code = 2; code <= 3; ++code) {
    SDL_Event u;
    std::memset(&u, 0, sizeof u);
    u.type = SDL_USEREVENT;
    u.user.code = code;
    ASSERT_EQ(SDL_PushEvent(&u), 0);
  }
  ASSERT_EQ(QueueLength(), 3);
  Exec("e.type = 0");
  // Peeking fills the record with the first event and leaves the queue.
  EXPECT_EQ(Num("SDL_PeepEvents(e, 5, " + N(SDL_PEEKEVENT) + ", " + N(SDL_ALLEVENTS) + ")"), 1);
  EXPECT_EQ(KAVRO_GetGlobalEvent()->user.code, 1);
  EXPECT_EQ(QueueLength(), 3);
  // Getting takes exactly one.
  EXPECT_EQ(Num("SDL_PeepEvents(e, 5, " + N(SDL_GETEVENT) + ", " + N(SDL_ALLEVENTS) + ")"), 1);
  EXPECT_EQ(KAVRO_GetGlobalEvent()->user.code, 1);
  EXPECT_EQ(QueueLength(), 2);
  EXPECT_EQ(Num("SDL_PeepEvents(e, 1, " + N(SDL_GETEVENT) + ", " + N(SDL_ALLEVENTS) + ")"), 1);
  EXPECT_EQ(KAVRO_GetGlobalEvent()->user.code, 2);
  EXPECT_EQ(QueueLength(), 1);
  // A mask that matches nothing takes nothing; zero and negative counts do nothing.
  EXPECT_EQ(Num("SDL_PeepEvents(e, 1, " + N(SDL_GETEVENT) + ", " + N(SDL_QUITMASK) + ")"), 0);
  EXPECT_EQ(Num("SDL_PeepEvents(e, 0, " + N(SDL_GETEVENT) + ", " + N(SDL_ALLEVENTS) + ")"), 0);
  EXPECT_EQ(Num("SDL_PeepEvents(e, -4, " + N(SDL_ADDEVENT) + ", 0)"), 0);
  EXPECT_EQ(QueueLength(), 1);
  EXPECT_EQ(KAVRO_GetGlobalEvent()->user.code, 2);
  // The mask goes through the unsigned rule: -1 is every event.
  EXPECT_EQ(Num("SDL_PeepEvents(e, 3, " + N(SDL_GETEVENT) + ", -1)"), 1);
  EXPECT_EQ(KAVRO_GetGlobalEvent()->user.code, 3);
  EXPECT_EQ(QueueLength(), 0);
}

TEST_F(EventBinding, ArgumentErrors) {
  kv::PushBox<kv::box::Rect>(L, SDL_Rect{0, 0, 1, 1});
  lua_setglobal(L, "rect");
  lua_pushlightuserdata(L, KAVRO_GetGlobalEvent());
  lua_setglobal(L, "light");
  // Tag 24 in a block of another size is no event box.
  void* fake = lua_newuserdata(L, 64);
  std::memset(fake, 0, 64);
  int32_t tag = 24;
  std::memcpy(fake, &tag, sizeof tag);
  lua_setglobal(L, "fake");
  for (const char* fn : {"SDL_PollEvent", "SDL_WaitEvent", "SDL_PushEvent"}) {
    for (const char* bad : {"rect", "light", "fake", "nil", "1"}) {
      EXPECT_EQ(Run(std::string(fn) + "(" + bad + ")"),
                std::string("test:1: ") + fn + ": Argument 1 should be of type SDL_Event")
          << bad;
    }
    EXPECT_EQ(Run(std::string(fn) + "()"), std::string("test:1: ") + fn + ": Got 0 arguments instead of 1");
  }
  EXPECT_EQ(Run("SDL_PeepEvents(rect, 1, 0, 0)"), "test:1: SDL_PeepEvents: Argument 1 should be of type SDL_Event");
  EXPECT_EQ(Run("SDL_PeepEvents(KAVRO_GetGlobalEvent(), 'x', 0, 0)"),
            "test:1: SDL_PeepEvents: Argument 2 should be of type number");
  EXPECT_EQ(Run("SDL_PeepEvents(KAVRO_GetGlobalEvent(), 1, 0)"),
            "test:1: SDL_PeepEvents: Got 3 arguments instead of 4");
  EXPECT_EQ(Run("SDL_EventState(2)"), "test:1: SDL_EventState: Got 1 arguments instead of 2");
  EXPECT_EQ(Run("SDL_EventState(true, 1)"), "test:1: SDL_EventState: Argument 1 should be of type number");
  EXPECT_EQ(Run("SDL_PumpEvents(1)"), "test:1: SDL_PumpEvents: Got 1 arguments instead of 0");
  EXPECT_EQ(QueueLength(), 0) << "a refused call queues nothing";
  EXPECT_EQ(Run("SDL_PumpEvents()"), "");
}

// A key pressed on a real X server reaches the script as SDL_KEYDOWN.
class EventBindingX11 : public LuaTest {
 protected:
  void SetUp() override {
    if (!e2e::HaveXTools()) GTEST_SKIP() << "Xvfb or xdotool not installed";
    Save("DISPLAY", &display_, &hadDisplay_);
    Save("SDL_VIDEODRIVER", &driver_, &hadDriver_);
    ASSERT_TRUE(xvfb.Start()) << "Xvfb did not start";
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    sdlUp_ = true;
    LuaTest::SetUp();
  }
  void TearDown() override {
    LuaTest::TearDown();
    // SDL lets go of the X connection before the server goes away.
    if (sdlUp_) SDL_Quit();
    Restore("DISPLAY", display_, hadDisplay_);
    Restore("SDL_VIDEODRIVER", driver_, hadDriver_);
  }
  static void Save(const char* name, std::string* value, bool* had) {
    const char* v = std::getenv(name);
    *had = v != nullptr;
    if (v) *value = v;
  }
  static void Restore(const char* name, const std::string& value, bool had) {
    if (had) {
      setenv(name, value.c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

  e2e::Xvfb xvfb;
  std::string display_, driver_;
  bool hadDisplay_ = false, hadDriver_ = false, sdlUp_ = false;
};

TEST_F(EventBindingX11, EscapeKeyPressIsReadAsKeyDown) {
  const char* caption = "kavro-events-x11";
  SDL_WM_SetCaption(caption, caption);
  ASSERT_NE(SDL_SetVideoMode(160, 120, 0, SDL_SWSURFACE), nullptr) << SDL_GetError();
  std::string window = xvfb.WaitForWindow(caption);
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  Exec("e = KAVRO_GetGlobalEvent() seen = {}\n"
       "function drain()\n"
       "  while SDL_PollEvent(e) == 1 do\n"
       "    seen[#seen + 1] = e.type\n"
       "    if e.type == 2 then\n"
       "      local k = e.key\n"
       "      if k.keysym.sym == 27 then down = k.state return true end\n"
       "    end\n"
       "  end\n"
       "  return false\n"
       "end");
  ASSERT_TRUE(xvfb.PressKey(window, "Escape"));
  bool found = false;
  for (int i = 0; i < 250 && !found; ++i) {
    found = Bool("drain()");
    if (!found) SDL_Delay(20);
  }
  EXPECT_TRUE(found) << "no SDL_KEYDOWN for Escape; event types seen: "
                     << Str("table.concat(seen, ',')");
  EXPECT_EQ(Num("down"), SDL_PRESSED);
  EXPECT_EQ(KAVRO_GetGlobalEvent()->type, SDL_KEYDOWN);
  EXPECT_EQ(KAVRO_GetGlobalEvent()->key.keysym.sym, SDLK_ESCAPE);
}

}  // namespace
