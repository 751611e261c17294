#include "host/script_host.h"

#include <physfs.h>

#include <cstdio>
#include <cstdlib>
#include <lua.hpp>

#include "binding/api.h"
#include "host/host.h"
#include "host/searcher.h"
#include "host/strings.h"
#include "host/vfs.h"

namespace {

void ResourcesDestroy(void* record) {
  std::free(record);
}

void ScriptingDestroy(void* record) {
  auto* scripting = static_cast<ScriptingRecord*>(record);
  if (scripting->state != nullptr) lua_close(scripting->state);
  std::free(scripting);
}

void ScriptDestroy(void* record) {
  auto* script = static_cast<ScriptRecord*>(record);
  StrRelease(&script->name);
  StrRelease(&script->path);
  StrRelease(&script->text);
  std::free(script);
}

// Takes the whole buffer as the script's text (up to its first NUL byte).
void SetScriptText(ScriptRecord* record, const char* path, const char* buffer) {
  StrRelease(&record->path);
  record->path = StrDuplicate(path);
  StrRelease(&record->text);
  record->text = StrDuplicate(buffer);
  record->failed = 0;
}

// The error value on top of the stack as text; never null.
const char* ErrorText(lua_State* L, char* scratch, size_t size) {
  const char* message = lua_tostring(L, -1);
  if (message != nullptr) return message;
  std::snprintf(scratch, size, "(error object is a %s value)", luaL_typename(L, -1));
  return scratch;
}

}  // namespace

int ResourcesStart() {
  if (g_runtime.resources != nullptr) {
    LogError(4, "error: can't initialize resources twice!\n");
    return 0;
  }
  auto* record = static_cast<ResourcesRecord*>(std::calloc(1, sizeof(ResourcesRecord)));
  if (record == nullptr) return 0;
  record->header.kind = kResourcesRecordKind;
  record->header.destroy = ResourcesDestroy;
  record->lastScriptId = 0;
  g_runtime.resources = record;
  AddRef(record);
  return 1;
}

namespace {

const char* RegisteredBasePath() { return g_runtime.baseDir; }

// The module searcher goes in front of Lua's own, with an empty loader slot.
void RegisterSearcher(lua_State* L) {
  LoaderSlotReset();
  SearcherRegister(L, ModuleSearcher, 1);
}

const RegistrationHook kHostHook = {RegisteredBasePath, RegisterSearcher};

}  // namespace

const RegistrationHook* HostRegistrationHook() { return &kHostHook; }

int ScriptingStart() {
  if (g_runtime.scripting != nullptr) {
    LogPrint("warning: cannot initialize scripting twice\n");
    return 1;
  }
  auto* record = static_cast<ScriptingRecord*>(std::calloc(1, sizeof(ScriptingRecord)));
  if (record == nullptr) {
    LogError(4, "error: failed to initialize lua\n");
    return 0;
  }
  record->header.kind = kScriptingRecordKind;
  record->header.destroy = ScriptingDestroy;
  record->state = luaL_newstate();
  if (record->state == nullptr) {
    LogError(4, "error: failed to initialize lua\n");
    std::free(record);
    return 0;
  }
  lua_State* L = record->state;
  luaL_openlibs(L);
  // Registration runs protected: a failure inside it is reported like a
  // script error instead of reaching Lua's panic handler. The state is kept
  // with whatever was registered.
  SetRegistrationHook(HostRegistrationHook());
  if (lua_cpcall(L, RegisterApi, nullptr) != 0) {
    char scratch[64];
    LogError(6, "error: can't register the script API\n%s\n", ErrorText(L, scratch, sizeof scratch));
    lua_pop(L, 1);
  }
  g_runtime.scripting = record;
  AddRef(record);
  return 1;
}

ScriptRecord* ScriptRecordNew(const char* name) {
  ResourcesRecord* resources = g_runtime.resources;
  if (resources == nullptr) return nullptr;
  auto* record = static_cast<ScriptRecord*>(std::calloc(1, sizeof(ScriptRecord)));
  if (record == nullptr) return nullptr;
  record->header.kind = kScriptRecordKind;
  record->header.destroy = ScriptDestroy;
  record->id = ++resources->lastScriptId;
  record->name = StrDuplicate(name);
  return record;
}

ScriptRecord* ScriptFromVfs(const char* name, const char* path) {
  if (!VfsExists(path)) {
    LogError(1, "Error: File not found \"%s\"\n", path);
    return nullptr;
  }
  PHYSFS_File* file = PHYSFS_openRead(path);
  if (file == nullptr) {
    LogError(2, "Error: Can't open file \"%s\"\n", path);
    return nullptr;
  }
  ScriptRecord* record = ScriptRecordNew(name);
  if (record != nullptr) {
    PHYSFS_sint64 length = PHYSFS_fileLength(file);
    if (length > 0) {
      auto* buffer = static_cast<char*>(std::calloc(static_cast<size_t>(length) + 1, 1));
      if (buffer != nullptr) {
        PHYSFS_readBytes(file, buffer, static_cast<PHYSFS_uint64>(length));
        SetScriptText(record, path, buffer);
        std::free(buffer);
      }
    }
  }
  PHYSFS_close(file);
  return record;
}

ScriptRecord* ScriptFromFile(const char* name, const char* path) {
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) {
    LogError(2, "Error: Can't open file \"%s\"\n", path);
    return nullptr;
  }
  ScriptRecord* record = ScriptRecordNew(name);
  if (record != nullptr) {
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    if (length > 0) {
      auto* buffer = static_cast<char*>(std::calloc(static_cast<size_t>(length) + 1, 1));
      if (buffer != nullptr) {
        std::fread(buffer, 1, static_cast<size_t>(length), file);
        SetScriptText(record, path, buffer);
        std::free(buffer);
      }
    }
  }
  std::fclose(file);
  return record;
}

int ScriptRun(ScriptRecord* record) {
  ScriptingRecord* scripting = g_runtime.scripting;
  if (scripting == nullptr || scripting->state == nullptr || record == nullptr || record->text == nullptr ||
      record->failed) {
    return 0;
  }
  lua_State* L = scripting->state;
  int top = lua_gettop(L);
  if (luaL_loadstring(L, record->text) == 0 && lua_pcall(L, 0, LUA_MULTRET, 0) == 0) return 1;
  char scratch[64];
  LogError(6, "error: can't run script \"%s\"\n%s\n", record->name ? record->name : "",
           ErrorText(L, scratch, sizeof scratch));
  lua_settop(L, top);
  record->failed = 1;
  return 0;
}

int HostRunMainScript() {
  if (!g_runtime.initialised) return 0;
  ScriptRecord* record = g_runtime.archiveMounted ? ScriptFromVfs("Main", "main.lua")
                                                  : ScriptFromFile("Main", g_runtime.mainPath);
  if (record == nullptr) return 0;
  AddRef(record);
  ScriptRun(record);
  Release(record);
  return g_runtime.initialised;
}
