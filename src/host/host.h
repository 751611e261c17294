// The host runtime: start-up, the script host and the host-wide state.
#pragma once

#include <SDL.h>
#include <cstdint>

#include "binding/constants.h"  // kKavroVersion
#include "host/records.h"

struct lua_State;

inline constexpr int kBaseDirMax = 260;
inline constexpr int kMainPathMax = 512;

// The host's single global record, zero at program load.
struct RuntimeState {
  int32_t initialised;
  int32_t archiveMounted;
  int32_t vfsReady;
  LogRecord log;
  LogRecord* logRecord;
  struct ResourcesRecord* resources;
  struct ScriptingRecord* scripting;
  SDL_Surface* screen;
  SDL_Event event;
  SDL_Rect** modeList;
  SDL_Rect clipRect;
  Uint32 fillColour;
  int32_t windowWidth;
  int32_t windowHeight;
  int32_t bitsPerPixel;
  Uint32 videoFlags;
  int32_t fullscreenWidth;
  int32_t fullscreenHeight;
  int32_t windowOpen;
  int32_t quitRequested;
  int32_t videoReady;
  char baseDir[kBaseDirMax + 1];
  char mainPath[kMainPathMax + 1];
};

extern RuntimeState g_runtime;

// Start-up sequence (startup.cpp).
void RuntimeSetDefaults();
int HostInit(int argc, char** argv);
void HostShutdown();
int KavroMain(int argc, char** argv);

// Script host (script_host.cpp).
int HostRunMainScript();
