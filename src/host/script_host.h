// The script host: the program's one Lua state, the host records around it
// and the running of the main script.
#pragma once

#include <cstdint>

#include "host/records.h"

struct lua_State;

inline constexpr int kScriptRecordKind = 17;
inline constexpr int kScriptingRecordKind = 64;
inline constexpr int kResourcesRecordKind = 73;

// One per process; hands out script ids.
struct ResourcesRecord {
  RecordHeader header;
  int32_t lastScriptId;
};

// One per process; owns the Lua state (closed by its destroy function).
struct ScriptingRecord {
  RecordHeader header;
  lua_State* state;
};

// One loaded script. The texts are owned copies; `text` is NUL-terminated.
struct ScriptRecord {
  RecordHeader header;
  int32_t id;
  char* name;
  char* path;
  char* text;
  uint8_t failed;
};

// Creates the resources record; 0 (with a logged error) when it exists.
int ResourcesStart();
// Creates the Lua state, opens the standard libraries and registers the
// script API. 1 on success or when already started, 0 without a state.
int ScriptingStart();

// What the host adds to the registration of the script API: KAVRO_PATH
// from the base directory, and the module searcher.
struct RegistrationHook;
const RegistrationHook* HostRegistrationHook();
// A record for `name` with no texts, or null without a resources record.
ScriptRecord* ScriptRecordNew(const char* name);
// Reads a whole script from the virtual file system / the host file system.
ScriptRecord* ScriptFromVfs(const char* name, const char* path);
ScriptRecord* ScriptFromFile(const char* name, const char* path);
// Loads and runs the script once; 1 when it ran without error.
int ScriptRun(ScriptRecord* record);
