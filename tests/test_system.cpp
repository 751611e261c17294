// System bindings: initialisation, error text, timer, synchronisation objects,
// joysticks and drives without devices, cursors, shared objects, the audio
// device and OpenGL calls outside an OpenGL mode.
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "binding/boxes.h"
#include "support/lua_state.h"

using namespace kv;

namespace {

class SystemTest : public LuaTest {
 protected:
  void TearDown() override {
    if (L) Run("SDL_Quit()");
    LuaTest::TearDown();
  }

  // A full userdata of `size` bytes, each `fill`, as global `name`.
  Uint8* NewBlock(const char* name, size_t size, Uint8 fill) {
    auto* p = static_cast<Uint8*>(lua_newuserdata(L, size));
    std::memset(p, fill, size);
    lua_setglobal(L, name);
    return p;
  }
  void SetLight(const char* name, void* p) {
    lua_pushlightuserdata(L, p);
    lua_setglobal(L, name);
  }
};

TEST_F(SystemTest, ErrorTextIsTakenLiterally) {
  Exec("SDL_ClearError()");
  EXPECT_EQ(Str("SDL_GetError()"), "");
  Exec("SDL_SetError('100% sure %s %d %%')");
  EXPECT_EQ(Str("SDL_GetError()"), "100% sure %s %d %%");
  Exec("SDL_SetError(12)");
  EXPECT_EQ(Str("SDL_GetError()"), "12");
  // Longer than one of SDL's string slots (127 bytes).
  std::string longText;
  for (int i = 0; longText.size() < 600; ++i) longText += std::to_string(i) + "%d ";
  lua_pushstring(L, longText.c_str());
  lua_setglobal(L, "longText");
  Exec("SDL_SetError(longText)");
  EXPECT_EQ(Str("SDL_GetError()"), longText);
  Exec("SDL_ClearError()");
  EXPECT_EQ(Str("SDL_GetError()"), "");
}

TEST_F(SystemTest, InitWasInitAndQuit) {
  EXPECT_EQ(Num("SDL_Init(SDL_INIT_TIMER)"), 0);
  EXPECT_EQ(Num("SDL_WasInit(SDL_INIT_TIMER)"), SDL_INIT_TIMER);
  EXPECT_EQ(Num("SDL_InitSubSystem(SDL_INIT_VIDEO)"), 0);
  EXPECT_EQ(Num("SDL_WasInit(4294967295)"), double(SDL_WasInit(SDL_INIT_EVERYTHING)));
  Exec("SDL_QuitSubSystem(SDL_INIT_VIDEO)");
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  Exec("SDL_Quit()");
  EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
  EXPECT_EQ(Type("SDL_GetAppState()"), "number");
}

TEST_F(SystemTest, TicksAdvanceAndVersionMatchesTheLibrary) {
  Exec("SDL_Init(SDL_INIT_TIMER)");
  Exec("a = SDL_GetTicks(); SDL_Delay(5); b = SDL_GetTicks()");
  EXPECT_GE(Num("a"), 0);
  EXPECT_GE(Num("b"), Num("a"));

  const SDL_version* v = SDL_Linked_Version();
  EXPECT_EQ(Type("SDL_Linked_Version()"), "userdata");
  EXPECT_EQ(Num("SDL_Linked_Version().major"), v->major);
  EXPECT_EQ(Num("SDL_Linked_Version().minor"), v->minor);
  EXPECT_EQ(Num("SDL_Linked_Version().patch"), v->patch);
}

TEST_F(SystemTest, ProcessorFeaturesAreBooleans) {
  const struct {
    const char* name;
    SDL_bool (*fn)();
  } features[] = {{"SDL_HasRDTSC", SDL_HasRDTSC}, {"SDL_HasMMX", SDL_HasMMX},       {"SDL_HasMMXExt", SDL_HasMMXExt},
                  {"SDL_Has3DNow", SDL_Has3DNow}, {"SDL_Has3DNowExt", SDL_Has3DNowExt}, {"SDL_HasSSE", SDL_HasSSE},
                  {"SDL_HasSSE2", SDL_HasSSE2},   {"SDL_HasAltiVec", SDL_HasAltiVec}};
  for (const auto& f : features) {
    std::string call = std::string(f.name) + "()";
    EXPECT_EQ(Type(call), "boolean") << f.name;
    EXPECT_EQ(Bool(call), f.fn() == SDL_TRUE) << f.name;
  }
}

TEST_F(SystemTest, MutexAndSemaphore) {
  Exec("m = SDL_CreateMutex()");
  EXPECT_EQ(Type("m"), "userdata");
  EXPECT_EQ(Num("SDL_LockMutex(m)"), 0);
  EXPECT_EQ(Num("SDL_LockMutex(m)"), 0);  // recursive
  EXPECT_EQ(Num("SDL_UnlockMutex(m)"), 0);
  EXPECT_EQ(Num("SDL_UnlockMutex(m)"), 0);
  Exec("SDL_DestroyMutex(m)");
  // A destroyed mutex, or another object, is refused by SDL, not touched.
  EXPECT_EQ(Num("SDL_LockMutex(m)"), -1);
  Exec("SDL_DestroyMutex(m)");

  Exec("s = SDL_CreateSemaphore(2)");
  EXPECT_EQ(Type("s"), "userdata");
  EXPECT_EQ(Num("SDL_SemValue(s)"), 2);
  EXPECT_EQ(Num("SDL_SemTryWait(s)"), 0);
  EXPECT_EQ(Num("SDL_SemWait(s)"), 0);
  EXPECT_EQ(Num("SDL_SemValue(s)"), 0);
  EXPECT_EQ(Num("SDL_SemTryWait(s)"), SDL_MUTEX_TIMEDOUT);
  // SDL's own answer for a timed-out wait (its POSIX build reports -1).
  SDL_sem* empty = SDL_CreateSemaphore(0);
  int timedOut = SDL_SemWaitTimeout(empty, 10);
  SDL_DestroySemaphore(empty);
  EXPECT_EQ(Num("SDL_SemWaitTimeout(s, 10)"), timedOut);
  EXPECT_EQ(Num("SDL_SemPost(s)"), 0);
  EXPECT_EQ(Num("SDL_SemValue(s)"), 1);
  EXPECT_EQ(Num("SDL_SemWait(SDL_CreateMutex())"), -1);
  Exec("SDL_DestroySemaphore(s)");
  EXPECT_EQ(Num("SDL_SemValue(s)"), 0);
  EXPECT_EQ(Num("SDL_SemPost(s)"), -1);
}

TEST_F(SystemTest, ConditionWaitTimesOut) {
  Exec("SDL_Init(SDL_INIT_TIMER); m = SDL_CreateMutex(); c = SDL_CreateCond()");
  EXPECT_EQ(Num("SDL_CondSignal(c)"), 0);
  EXPECT_EQ(Num("SDL_CondBroadcast(c)"), 0);
  EXPECT_EQ(Num("SDL_LockMutex(m)"), 0);
  Exec("t0 = SDL_GetTicks(); r = SDL_CondWaitTimeout(c, m, 100); t1 = SDL_GetTicks()");
  EXPECT_EQ(Num("r"), SDL_MUTEX_TIMEDOUT);
  EXPECT_GE(Num("t1 - t0"), 90);
  EXPECT_EQ(Num("SDL_UnlockMutex(m)"), 0);
  // A mutex argument that is not a live mutex fails instead of crashing.
  EXPECT_EQ(Num("SDL_CondWaitTimeout(c, c, 10)"), -1);
  EXPECT_EQ(Num("SDL_CondWait(c, c)"), -1);
  Exec("SDL_DestroyMutex(m)");
  EXPECT_EQ(Num("SDL_CondWaitTimeout(c, m, 10)"), -1);
  Exec("SDL_DestroyCond(c)");
  EXPECT_EQ(Num("SDL_CondSignal(c)"), -1);
}

TEST_F(SystemTest, JoysticksWithoutDevices) {
  // Before the subsystem runs SDL has no joystick tables at all.
  EXPECT_EQ(Num("SDL_NumJoysticks()"), 0);
  EXPECT_EQ(Num("SDL_JoystickOpened(0)"), 0);
  Exec("SDL_JoystickUpdate()");
  EXPECT_EQ(Str("SDL_JoystickName(0)"), "");
  EXPECT_EQ(Type("SDL_JoystickOpen(0)"), "nil");

  Exec("SDL_Init(SDL_INIT_JOYSTICK)");
  int n = SDL_NumJoysticks();
  EXPECT_EQ(Num("SDL_NumJoysticks()"), n);
  std::string past = std::to_string(n);
  EXPECT_EQ(Str("SDL_JoystickName(" + past + ")"), "");
  EXPECT_EQ(Type("SDL_JoystickOpen(" + past + ")"), "nil");
  EXPECT_EQ(Num("SDL_JoystickOpened(" + past + ")"), 0);
  EXPECT_EQ(Num("SDL_JoystickOpened(-1)"), 0);
  Exec("SDL_JoystickUpdate()");
  EXPECT_EQ(Num("SDL_JoystickEventState(SDL_QUERY)"), SDL_JoystickEventState(SDL_QUERY));

  // Something that is not an open joystick is answered as SDL answers NULL.
  Exec("j = SDL_CreateMutex()");
  EXPECT_EQ(Num("SDL_JoystickNumAxes(j)"), -1);
  EXPECT_EQ(Num("SDL_JoystickIndex(j)"), -1);
  EXPECT_EQ(Num("SDL_JoystickGetAxis(j, 0)"), 0);
  EXPECT_EQ(Num("SDL_JoystickGetButton(j, 0)"), 0);
  Exec("SDL_JoystickClose(j)");
}

TEST_F(SystemTest, DrivesWithoutDevices) {
  EXPECT_EQ(Num("SDL_CDNumDrives()"), SDL_CDNumDrives());
  Exec("SDL_Init(SDL_INIT_CDROM)");
  int n = SDL_CDNumDrives();
  EXPECT_EQ(Num("SDL_CDNumDrives()"), n);
  std::string past = std::to_string(n);
  EXPECT_EQ(Str("SDL_CDName(" + past + ")"), "");
  EXPECT_EQ(Type("SDL_CDOpen(" + past + ")"), "nil");
  // Negative indexes are refused like those past the end, not looked up.
  for (const char* drive : {"-1", "-100000", "-2147483648"}) {
    EXPECT_EQ(Str(std::string("SDL_CDName(") + drive + ")"), "") << drive;
    EXPECT_EQ(Type(std::string("SDL_CDOpen(") + drive + ")"), "nil") << drive;
  }

  // A drive box the program never opened is not handed to SDL.
  SDL_CD fake{};
  fake.numtracks = 1;
  PushBox<box::CD>(L, &fake);
  lua_setglobal(L, "cd");
  EXPECT_EQ(Num("SDL_CDStatus(cd)"), CD_ERROR);
  EXPECT_EQ(Num("SDL_CDPlay(cd, 0, 10)"), CD_ERROR);
  EXPECT_EQ(Num("SDL_CDPlayTracks(cd, 0, 0, -5, 0)"), CD_ERROR);
  EXPECT_EQ(Num("SDL_CDPlayTracks(cd, 0, 0, 1, 0)"), CD_ERROR);
  EXPECT_EQ(Num("SDL_CDEject(cd)"), CD_ERROR);
  Exec("SDL_CDClose(cd)");
}

TEST_F(SystemTest, KeyboardCalls) {
  Exec("SDL_Init(SDL_INIT_VIDEO)");
  EXPECT_EQ(Str("SDL_GetKeyName(27)"), "escape");
  EXPECT_EQ(Str("SDL_GetKeyName(SDLK_a)"), "a");
  EXPECT_EQ(Str("SDL_GetKeyName(-1)"), SDL_GetKeyName(static_cast<SDLKey>(0xFFFFFFFFu)));
  Exec("SDL_SetModState(KMOD_LSHIFT)");
  EXPECT_EQ(Num("SDL_GetModState()"), KMOD_LSHIFT);
  Exec("SDL_SetModState(0)");
  EXPECT_EQ(Num("SDL_EnableUNICODE(1)"), 0);
  EXPECT_EQ(Num("SDL_EnableUNICODE(-1)"), 1);
  EXPECT_EQ(Num("SDL_EnableKeyRepeat(500, 30)"), 0);
  EXPECT_EQ(Num("SDL_EnableKeyRepeat(-1, 30)"), -1);
}

TEST_F(SystemTest, CursorsStayWithinTheirMasksAndAreFreedOnce) {
  NewBlock("small", 31, 0xFF);
  NewBlock("big", 32, 0xFF);
  EXPECT_EQ(Type("SDL_CreateCursor(big, big, 16, 16, 0, 0)"), "nil");  // no video
  Exec("SDL_Init(SDL_INIT_VIDEO)");
  // 16 x 16 needs 32 bytes per mask.
  EXPECT_EQ(Type("SDL_CreateCursor(small, big, 16, 16, 0, 0)"), "nil");
  EXPECT_EQ(Type("SDL_CreateCursor(big, small, 16, 16, 0, 0)"), "nil");
  Exec("c = SDL_CreateCursor(big, big, 16, 16, 1, 1)");
  EXPECT_EQ(Type("c"), "userdata");
  EXPECT_EQ(Str("getmetatable(c) == getmetatable(SDL_GetCursor()) and 'same' or 'other'"), "same");
  Exec("SDL_SetCursor(c)");
  EXPECT_TRUE(Bool("SDL_GetCursor() ~= nil"));
  Exec("SDL_FreeCursor(c); SDL_FreeCursor(c); SDL_SetCursor(c)");
  Exec("d = SDL_GetCursor(); SDL_FreeCursor(d); SDL_SetCursor(d)");
  EXPECT_EQ(Num("SDL_ShowCursor(SDL_QUERY)"), SDL_ShowCursor(SDL_QUERY));
  Exec("SDL_WarpMouse(10, 10)");
  // SDL frees its own cursor with video; the old box is then ignored.
  Exec("SDL_Quit(); SDL_SetCursor(d); SDL_FreeCursor(d)");
}

TEST_F(SystemTest, CursorWidthIsRoundedUpToWholeBytes) {
  NewBlock("b16", 16, 0xFF);
  NewBlock("b32", 32, 0xFF);
  Exec("SDL_Init(SDL_INIT_VIDEO)");
  // 12 pixels wide is read as 16: two bytes per row, 32 bytes for 16 rows.
  EXPECT_EQ(Type("SDL_CreateCursor(b16, b32, 12, 16, 0, 0)"), "nil");
  EXPECT_EQ(Type("SDL_CreateCursor(b32, b16, 12, 16, 0, 0)"), "nil");
  Exec("c = SDL_CreateCursor(b32, b32, 12, 16, 0, 0)");
  EXPECT_EQ(Type("c"), "userdata");
  Exec("SDL_FreeCursor(c)");
}

TEST_F(SystemTest, CursorInUseIsFreedBySdlWithVideo) {
  NewBlock("mask", 32, 0);
  Exec("SDL_Init(SDL_INIT_VIDEO); c = SDL_CreateCursor(mask, mask, 16, 16, 0, 0); SDL_SetCursor(c)");
  ASSERT_EQ(Type("c"), "userdata");
  // SDL frees the cursor in use when video stops: the script's later free
  // and use of the same box must not reach SDL again.
  Exec("SDL_QuitSubSystem(SDL_INIT_VIDEO); SDL_FreeCursor(c)");
  Exec("SDL_Init(SDL_INIT_VIDEO); SDL_SetCursor(c); SDL_FreeCursor(c)");
  Exec("e = SDL_CreateCursor(mask, mask, 16, 16, 0, 0); SDL_SetCursor(e); SDL_Quit(); SDL_FreeCursor(e)");
  // A cursor not in use stays the script's to free.
  Exec("SDL_Init(SDL_INIT_VIDEO); f = SDL_CreateCursor(mask, mask, 16, 16, 0, 0); SDL_Quit(); SDL_FreeCursor(f)");
}

TEST_F(SystemTest, SharedObjects) {
  Exec("h = SDL_LoadObject('libSDL-1.2.so.0')");
  ASSERT_EQ(Type("h"), "userdata");
  EXPECT_EQ(Type("SDL_LoadFunction(h, 'SDL_Init')"), "userdata");
  EXPECT_EQ(Type("SDL_LoadFunction(h, 'no_such_symbol_here')"), "nil");
  EXPECT_EQ(Type("SDL_LoadObject('/no/such/library.so')"), "nil");
  Exec("SDL_UnloadObject(h)");
  EXPECT_EQ(Type("SDL_LoadFunction(h, 'SDL_Init')"), "nil");
  Exec("SDL_UnloadObject(h)");
}

int g_callbacks = 0;
void Silence(void*, Uint8* stream, int len) {
  ++g_callbacks;
  std::memset(stream, 0, static_cast<size_t>(len));
}

TEST_F(SystemTest, AudioDeviceAndMixing) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);  // headless: no sound card
  SDL_AudioSpec want{};
  want.freq = 22050;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = 512;
  want.callback = &Silence;
  PushBox<box::AudioSpec>(L, want);
  lua_setglobal(L, "want");
  PushBox<box::AudioSpec>(L, SDL_AudioSpec{});
  lua_setglobal(L, "got");

  EXPECT_EQ(Num("SDL_Init(SDL_INIT_AUDIO)"), 0);
  EXPECT_EQ(Num("SDL_OpenAudio(want, got)"), 0);
  EXPECT_EQ(Num("got.freq"), 22050);
  EXPECT_EQ(Num("got.channels"), 1);
  EXPECT_EQ(Num("got.format"), AUDIO_S16SYS);
  EXPECT_EQ(Num("got.size"), 1024);
  EXPECT_EQ(Num("SDL_OpenAudio(want, nil)"), -1);  // already open
  EXPECT_EQ(Num("SDL_GetAudioStatus()"), SDL_AUDIO_PAUSED);
  Exec("SDL_PauseAudio(0)");
  EXPECT_EQ(Num("SDL_GetAudioStatus()"), SDL_AUDIO_PLAYING);
  Exec("SDL_LockAudio(); SDL_UnlockAudio()");

  // Mixing reaches only the length given, which both blocks must hold.
  auto* dst = NewBlock("dst", 8, 0);
  auto* src = NewBlock("src", 4, 0);
  Sint16 one[2] = {1000, 7};
  std::memcpy(src, one, 4);
  Exec("SDL_MixAudio(dst, src, 4, SDL_MIX_MAXVOLUME)");
  Sint16 mixed[4];
  std::memcpy(mixed, dst, 8);
  EXPECT_EQ(mixed[0], 1000);
  EXPECT_EQ(mixed[1], 7);
  EXPECT_EQ(mixed[2], 0);
  SDL_ClearError();
  Exec("SDL_MixAudio(dst, src, 8, SDL_MIX_MAXVOLUME)");
  EXPECT_STREQ(SDL_GetError(), "Memory of 4 bytes is smaller than 8 bytes");
  std::memcpy(mixed, dst, 8);
  EXPECT_EQ(mixed[2], 0);

  Exec("SDL_CloseAudio()");
  EXPECT_EQ(Num("SDL_GetAudioStatus()"), SDL_AUDIO_STOPPED);

  // With nil for the obtained format SDL works in the desired one.
  g_callbacks = 0;
  EXPECT_EQ(Num("SDL_OpenAudio(want, nil)"), 0);
  Exec("SDL_PauseAudio(0); SDL_Delay(200)");
  EXPECT_GT(g_callbacks, 0);
  Exec("SDL_CloseAudio()");

  EXPECT_EQ(Num("SDL_AudioInit('dummy')"), 0);
  EXPECT_EQ(Num("SDL_AudioInit(nil)"), 0);
  Exec("SDL_AudioQuit()");
}

TEST_F(SystemTest, OpenGLCallsOutsideAnOpenGLModeDoNothing) {
  PushBox<box::Rect>(L, SDL_Rect{0, 0, 10, 10});
  lua_setglobal(L, "r");
  EXPECT_EQ(Num("SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1)"), -1);
  EXPECT_EQ(Type("SDL_GL_GetProcAddress('glFlush')"), "nil");
  Exec("SDL_GL_SwapBuffers(); SDL_GL_Lock(); SDL_GL_UpdateRects(5, r); SDL_GL_Unlock()");
  Exec("SDL_Init(SDL_INIT_VIDEO)");
  EXPECT_EQ(Num("SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1)"), 0);
  Exec("SDL_GL_SwapBuffers(); SDL_GL_Lock(); SDL_GL_UpdateRects(5, r); SDL_GL_UpdateRects(1, nil); SDL_GL_Unlock()");
}

TEST_F(SystemTest, ArgumentErrors) {
  EXPECT_EQ(Run("SDL_JoystickClose(1)"), "test:1: SDL_JoystickClose: Argument 1 should be of type SDL_Joystick");
  EXPECT_EQ(Run("SDL_DestroyMutex('m')"), "test:1: SDL_DestroyMutex: Argument 1 should be of type SDL_mutex");
  EXPECT_EQ(Run("SDL_DestroySemaphore(nil)"), "test:1: SDL_DestroySemaphore: Argument 1 should be of type SDL_sem");
  EXPECT_EQ(Run("SDL_DestroyCond(true)"), "test:1: SDL_DestroyCond: Argument 1 should be of type SDL_cond");
  EXPECT_EQ(Run("SDL_LockMutex(0)"), "test:1: SDL_LockMutex: Argument 1 should be of type userdata");
  EXPECT_EQ(Run("SDL_CondWaitTimeout(SDL_CreateCond(), 0, 1)"),
            "test:1: SDL_CondWaitTimeout: Argument 2 should be of type userdata");
  EXPECT_EQ(Run("SDL_SetError()"), "test:1: SDL_SetError: Got 0 arguments instead of 1");
  EXPECT_EQ(Run("SDL_GetTicks(1)"), "test:1: SDL_GetTicks: Got 1 arguments instead of 0");
  EXPECT_EQ(Run("SDL_Init('video')"), "test:1: SDL_Init: Argument 1 should be of type number");
  EXPECT_EQ(Run("SDL_OpenAudio(SDL_CreateMutex(), nil)"),
            "test:1: SDL_OpenAudio: Argument 1 should be of type SDL_AudioSpec");
  EXPECT_EQ(Run("SDL_CDStatus(SDL_CreateMutex())"), "test:1: SDL_CDStatus: Argument 1 should be of type SDL_CD");
  EXPECT_EQ(Run("SDL_SetCursor(nil)"), "test:1: SDL_SetCursor: Argument 1 should be of type SDL_Cursor");
  EXPECT_EQ(Run("SDL_MixAudio(1, 2, 3, 4)"), "test:1: SDL_MixAudio: Argument 1 should be of type userdata");
  EXPECT_EQ(Run("SDL_GL_UpdateRects(1, 1)"), "test:1: SDL_GL_UpdateRects: Argument 2 should be of type SDL_Rect");
  EXPECT_EQ(Run("SDL_AudioInit(1, 2)"), "test:1: SDL_AudioInit: Got 2 arguments instead of 1");
}

}  // namespace
