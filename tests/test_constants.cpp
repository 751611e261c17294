#include <SDL.h>
#include <SDL_framerate.h>
#include <SDL_gfxPrimitives.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_net.h>
#include <SDL_rotozoom.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>
#include <lua.hpp>
#include <unzip.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "binding/constants.h"
#include "host/host.h"

namespace {

#define FROM_HEADER(name) \
  { #name, static_cast<double>(name) }
#define FROM_ENUM(name) \
  { #name, name }

// Every number constant in registration order with its documented value;
// `versioned` marks the library versions, which follow the installed headers.
struct Listed {
  const char* name;
  double value;
  bool versioned;
};

const Listed kListedNumbers[] = {
    {"SDL_INIT_TIMER", 1.0, false},
    {"SDL_INIT_AUDIO", 16.0, false},
    {"SDL_INIT_VIDEO", 32.0, false},
    {"SDL_INIT_CDROM", 256.0, false},
    {"SDL_INIT_JOYSTICK", 512.0, false},
    {"SDL_INIT_NOPARACHUTE", 1048576.0, false},
    {"SDL_INIT_EVENTTHREAD", 16777216.0, false},
    {"SDL_INIT_EVERYTHING", 65535.0, false},
    {"SDL_APPMOUSEFOCUS", 1.0, false},
    {"SDL_APPINPUTFOCUS", 2.0, false},
    {"SDL_APPACTIVE", 4.0, false},
    {"AUDIO_U8", 8.0, false},
    {"AUDIO_S8", 32776.0, false},
    {"AUDIO_U16LSB", 16.0, false},
    {"AUDIO_S16LSB", 32784.0, false},
    {"AUDIO_U16MSB", 4112.0, false},
    {"AUDIO_S16MSB", 36880.0, false},
    {"AUDIO_U16", 16.0, false},
    {"AUDIO_S16", 32784.0, false},
    {"AUDIO_U16SYS", 16.0, false},
    {"AUDIO_S16SYS", 32784.0, false},
    {"SDL_MIX_MAXVOLUME", 128.0, false},
    {"SDL_MAX_TRACKS", 99.0, false},
    {"SDL_AUDIO_TRACK", 0.0, false},
    {"SDL_DATA_TRACK", 4.0, false},
    {"CD_FPS", 75.0, false},
    {"SDL_LIL_ENDIAN", 1234.0, false},
    {"SDL_BIG_ENDIAN", 4321.0, false},
    {"SDL_BYTEORDER", 1234.0, false},
    {"SDL_RELEASED", 0.0, false},
    {"SDL_PRESSED", 1.0, false},
    {"SDL_ALLEVENTS", 4294967295.0, false},
    {"SDL_QUERY", -1.0, false},
    {"SDL_IGNORE", 0.0, false},
    {"SDL_DISABLE", 0.0, false},
    {"SDL_ENABLE", 1.0, false},
    {"SDL_HAT_CENTERED", 0.0, false},
    {"SDL_HAT_UP", 1.0, false},
    {"SDL_HAT_RIGHT", 2.0, false},
    {"SDL_HAT_DOWN", 4.0, false},
    {"SDL_HAT_LEFT", 8.0, false},
    {"SDL_HAT_RIGHTUP", 3.0, false},
    {"SDL_HAT_RIGHTDOWN", 6.0, false},
    {"SDL_HAT_LEFTUP", 9.0, false},
    {"SDL_HAT_LEFTDOWN", 12.0, false},
    {"SDL_ALL_HOTKEYS", 4294967295.0, false},
    {"SDL_DEFAULT_REPEAT_DELAY", 500.0, false},
    {"SDL_DEFAULT_REPEAT_INTERVAL", 30.0, false},
    {"KMOD_CTRL", 192.0, false},
    {"KMOD_SHIFT", 3.0, false},
    {"KMOD_ALT", 768.0, false},
    {"KMOD_META", 3072.0, false},
    {"SDL_BUTTON_LEFT", 1.0, false},
    {"SDL_BUTTON_MIDDLE", 2.0, false},
    {"SDL_BUTTON_RIGHT", 3.0, false},
    {"SDL_BUTTON_WHEELUP", 4.0, false},
    {"SDL_BUTTON_WHEELDOWN", 5.0, false},
    {"SDL_BUTTON_X1", 6.0, false},
    {"SDL_BUTTON_X2", 7.0, false},
    {"SDL_BUTTON_LMASK", 1.0, false},
    {"SDL_BUTTON_MMASK", 2.0, false},
    {"SDL_BUTTON_RMASK", 4.0, false},
    {"SDL_BUTTON_X1MASK", 32.0, false},
    {"SDL_BUTTON_X2MASK", 64.0, false},
    {"SDL_MUTEX_TIMEDOUT", 1.0, false},
    {"SDL_MUTEX_MAXWAIT", 4294967295.0, false},
    {"RW_SEEK_SET", 0.0, false},
    {"RW_SEEK_CUR", 1.0, false},
    {"RW_SEEK_END", 2.0, false},
    {"SDL_TIMESLICE", 10.0, false},
    {"TIMER_RESOLUTION", 10.0, false},
    {"SDL_MAJOR_VERSION", 1.0, true},
    {"SDL_MINOR_VERSION", 2.0, true},
    {"SDL_PATCHLEVEL", 13.0, true},
    {"SDL_ALPHA_OPAQUE", 255.0, false},
    {"SDL_ALPHA_TRANSPARENT", 0.0, false},
    {"SDL_SWSURFACE", 0.0, false},
    {"SDL_HWSURFACE", 1.0, false},
    {"SDL_ASYNCBLIT", 4.0, false},
    {"SDL_ANYFORMAT", 268435456.0, false},
    {"SDL_HWPALETTE", 536870912.0, false},
    {"SDL_DOUBLEBUF", 1073741824.0, false},
    {"SDL_FULLSCREEN", 2147483648.0, false},
    {"SDL_OPENGL", 2.0, false},
    {"SDL_OPENGLBLIT", 10.0, false},
    {"SDL_RESIZABLE", 16.0, false},
    {"SDL_NOFRAME", 32.0, false},
    {"SDL_HWACCEL", 256.0, false},
    {"SDL_SRCCOLORKEY", 4096.0, false},
    {"SDL_RLEACCELOK", 8192.0, false},
    {"SDL_RLEACCEL", 16384.0, false},
    {"SDL_SRCALPHA", 65536.0, false},
    {"SDL_PREALLOC", 16777216.0, false},
    {"SDL_YV12_OVERLAY", 842094169.0, false},
    {"SDL_IYUV_OVERLAY", 1448433993.0, false},
    {"SDL_YUY2_OVERLAY", 844715353.0, false},
    {"SDL_UYVY_OVERLAY", 1498831189.0, false},
    {"SDL_YVYU_OVERLAY", 1431918169.0, false},
    {"SDL_LOGPAL", 1.0, false},
    {"SDL_PHYSPAL", 2.0, false},
    {"SDL_IMAGE_MAJOR_VERSION", 1.0, true},
    {"SDL_IMAGE_MINOR_VERSION", 2.0, true},
    {"SDL_IMAGE_PATCHLEVEL", 6.0, true},
    {"SDL_TTF_MAJOR_VERSION", 2.0, true},
    {"SDL_TTF_MINOR_VERSION", 0.0, true},
    {"SDL_TTF_PATCHLEVEL", 9.0, true},
    {"UNICODE_BOM_NATIVE", 65279.0, false},
    {"UNICODE_BOM_SWAPPED", 65534.0, false},
    {"TTF_STYLE_NORMAL", 0.0, false},
    {"TTF_STYLE_BOLD", 1.0, false},
    {"TTF_STYLE_ITALIC", 2.0, false},
    {"TTF_STYLE_UNDERLINE", 4.0, false},
    {"TTF_STYLE_STRIKETHROUGH", 8.0, false},
    {"TTF_HINTING_NORMAL", 0.0, false},
    {"TTF_HINTING_LIGHT", 1.0, false},
    {"TTF_HINTING_MONO", 2.0, false},
    {"TTF_HINTING_NONE", 3.0, false},
    {"SDL_MIXER_MAJOR_VERSION", 1.0, true},
    {"SDL_MIXER_MINOR_VERSION", 2.0, true},
    {"SDL_MIXER_PATCHLEVEL", 8.0, true},
    {"MIX_CHANNELS", 8.0, false},
    {"MIX_DEFAULT_FREQUENCY", 22050.0, false},
    {"MIX_DEFAULT_FORMAT", 32784.0, false},
    {"MIX_DEFAULT_CHANNELS", 2.0, false},
    {"MIX_MAX_VOLUME", 128.0, false},
    {"MIX_CHANNEL_POST", -2.0, false},
    {"SDL_NET_MAJOR_VERSION", 1.0, true},
    {"SDL_NET_MINOR_VERSION", 2.0, true},
    {"SDL_NET_PATCHLEVEL", 7.0, true},
    {"INADDR_ANY", 0.0, false},
    {"INADDR_NONE", 4294967295.0, false},
    {"INADDR_BROADCAST", 4294967295.0, false},
    {"NET_MAX_UDPCHANNELS", 32.0, false},
    {"NET_MAX_UDPADDRESSES", 4.0, false},
    {"SDL_DATA_ALIGNED", 0.0, false},
    {"FPS_UPPER_LIMIT", 200.0, false},
    {"FPS_LOWER_LIMIT", 1.0, false},
    {"FPS_DEFAULT", 30.0, false},
    {"SDL_GFXPRIMITIVES_MAJOR", 2.0, true},
    {"SDL_GFXPRIMITIVES_MINOR", 0.0, true},
    {"SDL_GFXPRIMITIVES_MICRO", 24.0, true},
    {"GFX_FONTDATAMAX", 2048.0, false},
    {"SMOOTHING_OFF", 0.0, false},
    {"SMOOTHING_ON", 1.0, false},
    {"ZIP_MAJOR_VERSION", 1.0, false},
    {"ZIP_MINOR_VERSION", 1.0, false},
    {"ZIP_PATCHLEVEL", 0.0, false},
    {"ZIP_OK", 0.0, false},
    {"ZIP_END_OF_LIST_OF_FILE", -100.0, false},
    {"ZIP_ERRNO", -1.0, false},
    {"ZIP_EOF", 0.0, false},
    {"ZIP_PARAMERROR", -102.0, false},
    {"ZIP_BADZIPFILE", -103.0, false},
    {"ZIP_INTERNALERROR", -104.0, false},
    {"ZIP_CRCERROR", -105.0, false},
    {"KAVRO_SUCCESS", 0.0, false},
    {"KAVRO_FAILURE", 1.0, false},
    {"KAVRO_VERSION", 67073.0, false},
    {"KAVRO_MAJOR_VERSION", 1.0, false},
    {"KAVRO_MINOR_VERSION", 6.0, false},
    {"KAVRO_PATCHLEVEL", 1.0, false},};

// Values the library headers define, taken from their macros.
const std::pair<const char*, double> kHeaderNumbers[] = {
    FROM_HEADER(SDL_INIT_TIMER),
    FROM_HEADER(SDL_INIT_AUDIO),
    FROM_HEADER(SDL_INIT_VIDEO),
    FROM_HEADER(SDL_INIT_CDROM),
    FROM_HEADER(SDL_INIT_JOYSTICK),
    FROM_HEADER(SDL_INIT_NOPARACHUTE),
    FROM_HEADER(SDL_INIT_EVENTTHREAD),
    FROM_HEADER(SDL_INIT_EVERYTHING),
    FROM_HEADER(SDL_APPMOUSEFOCUS),
    FROM_HEADER(SDL_APPINPUTFOCUS),
    FROM_HEADER(SDL_APPACTIVE),
    FROM_HEADER(AUDIO_U8),
    FROM_HEADER(AUDIO_S8),
    FROM_HEADER(AUDIO_U16LSB),
    FROM_HEADER(AUDIO_S16LSB),
    FROM_HEADER(AUDIO_U16MSB),
    FROM_HEADER(AUDIO_S16MSB),
    FROM_HEADER(AUDIO_U16),
    FROM_HEADER(AUDIO_S16),
    FROM_HEADER(AUDIO_U16SYS),
    FROM_HEADER(AUDIO_S16SYS),
    FROM_HEADER(SDL_MIX_MAXVOLUME),
    FROM_HEADER(SDL_MAX_TRACKS),
    FROM_HEADER(SDL_AUDIO_TRACK),
    FROM_HEADER(SDL_DATA_TRACK),
    FROM_HEADER(CD_FPS),
    FROM_HEADER(SDL_LIL_ENDIAN),
    FROM_HEADER(SDL_BIG_ENDIAN),
    FROM_HEADER(SDL_BYTEORDER),
    FROM_HEADER(SDL_RELEASED),
    FROM_HEADER(SDL_PRESSED),
    FROM_HEADER(SDL_ALLEVENTS),
    FROM_HEADER(SDL_QUERY),
    FROM_HEADER(SDL_IGNORE),
    FROM_HEADER(SDL_DISABLE),
    FROM_HEADER(SDL_ENABLE),
    FROM_HEADER(SDL_HAT_CENTERED),
    FROM_HEADER(SDL_HAT_UP),
    FROM_HEADER(SDL_HAT_RIGHT),
    FROM_HEADER(SDL_HAT_DOWN),
    FROM_HEADER(SDL_HAT_LEFT),
    FROM_HEADER(SDL_HAT_RIGHTUP),
    FROM_HEADER(SDL_HAT_RIGHTDOWN),
    FROM_HEADER(SDL_HAT_LEFTUP),
    FROM_HEADER(SDL_HAT_LEFTDOWN),
    FROM_HEADER(SDL_ALL_HOTKEYS),
    FROM_HEADER(SDL_DEFAULT_REPEAT_DELAY),
    FROM_HEADER(SDL_DEFAULT_REPEAT_INTERVAL),
    FROM_HEADER(KMOD_CTRL),
    FROM_HEADER(KMOD_SHIFT),
    FROM_HEADER(KMOD_ALT),
    FROM_HEADER(KMOD_META),
    FROM_HEADER(SDL_BUTTON_LEFT),
    FROM_HEADER(SDL_BUTTON_MIDDLE),
    FROM_HEADER(SDL_BUTTON_RIGHT),
    FROM_HEADER(SDL_BUTTON_WHEELUP),
    FROM_HEADER(SDL_BUTTON_WHEELDOWN),
    FROM_HEADER(SDL_BUTTON_X1),
    FROM_HEADER(SDL_BUTTON_X2),
    FROM_HEADER(SDL_BUTTON_LMASK),
    FROM_HEADER(SDL_BUTTON_MMASK),
    FROM_HEADER(SDL_BUTTON_RMASK),
    FROM_HEADER(SDL_BUTTON_X1MASK),
    FROM_HEADER(SDL_BUTTON_X2MASK),
    FROM_HEADER(SDL_MUTEX_TIMEDOUT),
    FROM_HEADER(SDL_MUTEX_MAXWAIT),
    FROM_HEADER(RW_SEEK_SET),
    FROM_HEADER(RW_SEEK_CUR),
    FROM_HEADER(RW_SEEK_END),
    FROM_HEADER(SDL_TIMESLICE),
    FROM_HEADER(TIMER_RESOLUTION),
    FROM_HEADER(SDL_MAJOR_VERSION),
    FROM_HEADER(SDL_MINOR_VERSION),
    FROM_HEADER(SDL_PATCHLEVEL),
    FROM_HEADER(SDL_ALPHA_OPAQUE),
    FROM_HEADER(SDL_ALPHA_TRANSPARENT),
    FROM_HEADER(SDL_SWSURFACE),
    FROM_HEADER(SDL_HWSURFACE),
    FROM_HEADER(SDL_ASYNCBLIT),
    FROM_HEADER(SDL_ANYFORMAT),
    FROM_HEADER(SDL_HWPALETTE),
    FROM_HEADER(SDL_DOUBLEBUF),
    FROM_HEADER(SDL_FULLSCREEN),
    FROM_HEADER(SDL_OPENGL),
    FROM_HEADER(SDL_OPENGLBLIT),
    FROM_HEADER(SDL_RESIZABLE),
    FROM_HEADER(SDL_NOFRAME),
    FROM_HEADER(SDL_HWACCEL),
    FROM_HEADER(SDL_SRCCOLORKEY),
    FROM_HEADER(SDL_RLEACCELOK),
    FROM_HEADER(SDL_RLEACCEL),
    FROM_HEADER(SDL_SRCALPHA),
    FROM_HEADER(SDL_PREALLOC),
    FROM_HEADER(SDL_YV12_OVERLAY),
    FROM_HEADER(SDL_IYUV_OVERLAY),
    FROM_HEADER(SDL_YUY2_OVERLAY),
    FROM_HEADER(SDL_UYVY_OVERLAY),
    FROM_HEADER(SDL_YVYU_OVERLAY),
    FROM_HEADER(SDL_LOGPAL),
    FROM_HEADER(SDL_PHYSPAL),
    FROM_HEADER(SDL_IMAGE_MAJOR_VERSION),
    FROM_HEADER(SDL_IMAGE_MINOR_VERSION),
    FROM_HEADER(SDL_IMAGE_PATCHLEVEL),
    FROM_HEADER(SDL_TTF_MAJOR_VERSION),
    FROM_HEADER(SDL_TTF_MINOR_VERSION),
    FROM_HEADER(SDL_TTF_PATCHLEVEL),
    FROM_HEADER(UNICODE_BOM_NATIVE),
    FROM_HEADER(UNICODE_BOM_SWAPPED),
    FROM_HEADER(TTF_STYLE_NORMAL),
    FROM_HEADER(TTF_STYLE_BOLD),
    FROM_HEADER(TTF_STYLE_ITALIC),
    FROM_HEADER(TTF_STYLE_UNDERLINE),
    FROM_HEADER(TTF_STYLE_STRIKETHROUGH),
    FROM_HEADER(TTF_HINTING_NORMAL),
    FROM_HEADER(TTF_HINTING_LIGHT),
    FROM_HEADER(TTF_HINTING_MONO),
    FROM_HEADER(TTF_HINTING_NONE),
    FROM_HEADER(SDL_MIXER_MAJOR_VERSION),
    FROM_HEADER(SDL_MIXER_MINOR_VERSION),
    FROM_HEADER(SDL_MIXER_PATCHLEVEL),
    FROM_HEADER(MIX_CHANNELS),
    FROM_HEADER(MIX_DEFAULT_FREQUENCY),
    FROM_HEADER(MIX_DEFAULT_FORMAT),
    FROM_HEADER(MIX_DEFAULT_CHANNELS),
    FROM_HEADER(MIX_MAX_VOLUME),
    FROM_HEADER(MIX_CHANNEL_POST),
    FROM_HEADER(SDL_NET_MAJOR_VERSION),
    FROM_HEADER(SDL_NET_MINOR_VERSION),
    FROM_HEADER(SDL_NET_PATCHLEVEL),
    FROM_HEADER(INADDR_ANY),
    FROM_HEADER(INADDR_NONE),
    FROM_HEADER(INADDR_BROADCAST),
    {"NET_MAX_UDPCHANNELS", static_cast<double>(SDLNET_MAX_UDPCHANNELS)},
    {"NET_MAX_UDPADDRESSES", static_cast<double>(SDLNET_MAX_UDPADDRESSES)},
    FROM_HEADER(SDL_DATA_ALIGNED),
    FROM_HEADER(FPS_UPPER_LIMIT),
    FROM_HEADER(FPS_LOWER_LIMIT),
    FROM_HEADER(FPS_DEFAULT),
    FROM_HEADER(SDL_GFXPRIMITIVES_MAJOR),
    FROM_HEADER(SDL_GFXPRIMITIVES_MINOR),
    FROM_HEADER(SDL_GFXPRIMITIVES_MICRO),
    FROM_HEADER(SMOOTHING_OFF),
    FROM_HEADER(SMOOTHING_ON),
    {"ZIP_OK", static_cast<double>(UNZ_OK)},
    {"ZIP_END_OF_LIST_OF_FILE", static_cast<double>(UNZ_END_OF_LIST_OF_FILE)},
    {"ZIP_ERRNO", static_cast<double>(UNZ_ERRNO)},
    {"ZIP_EOF", static_cast<double>(UNZ_EOF)},
    {"ZIP_PARAMERROR", static_cast<double>(UNZ_PARAMERROR)},
    {"ZIP_BADZIPFILE", static_cast<double>(UNZ_BADZIPFILE)},
    {"ZIP_INTERNALERROR", static_cast<double>(UNZ_INTERNALERROR)},
    {"ZIP_CRCERROR", static_cast<double>(UNZ_CRCERROR)},};

// The enumeration families after the keys, in table order, from the
// headers' enumerators...
const std::pair<const char*, long long> kHeaderEnums[] = {
    FROM_ENUM(SDL_AUDIO_STOPPED),
    FROM_ENUM(SDL_AUDIO_PLAYING),
    FROM_ENUM(SDL_AUDIO_PAUSED),
    FROM_ENUM(CD_TRAYEMPTY),
    FROM_ENUM(CD_STOPPED),
    FROM_ENUM(CD_PLAYING),
    FROM_ENUM(CD_PAUSED),
    FROM_ENUM(CD_ERROR),
    FROM_ENUM(SDL_NOEVENT),
    FROM_ENUM(SDL_ACTIVEEVENT),
    FROM_ENUM(SDL_KEYDOWN),
    FROM_ENUM(SDL_KEYUP),
    FROM_ENUM(SDL_MOUSEMOTION),
    FROM_ENUM(SDL_MOUSEBUTTONDOWN),
    FROM_ENUM(SDL_MOUSEBUTTONUP),
    FROM_ENUM(SDL_JOYAXISMOTION),
    FROM_ENUM(SDL_JOYBALLMOTION),
    FROM_ENUM(SDL_JOYHATMOTION),
    FROM_ENUM(SDL_JOYBUTTONDOWN),
    FROM_ENUM(SDL_JOYBUTTONUP),
    FROM_ENUM(SDL_QUIT),
    FROM_ENUM(SDL_SYSWMEVENT),
    FROM_ENUM(SDL_EVENT_RESERVEDA),
    FROM_ENUM(SDL_EVENT_RESERVEDB),
    FROM_ENUM(SDL_VIDEORESIZE),
    FROM_ENUM(SDL_VIDEOEXPOSE),
    FROM_ENUM(SDL_EVENT_RESERVED2),
    FROM_ENUM(SDL_EVENT_RESERVED3),
    FROM_ENUM(SDL_EVENT_RESERVED4),
    FROM_ENUM(SDL_EVENT_RESERVED5),
    FROM_ENUM(SDL_EVENT_RESERVED6),
    FROM_ENUM(SDL_EVENT_RESERVED7),
    FROM_ENUM(SDL_USEREVENT),
    FROM_ENUM(SDL_NUMEVENTS),
    FROM_ENUM(SDL_ACTIVEEVENTMASK),
    FROM_ENUM(SDL_KEYDOWNMASK),
    FROM_ENUM(SDL_KEYUPMASK),
    FROM_ENUM(SDL_KEYEVENTMASK),
    FROM_ENUM(SDL_MOUSEMOTIONMASK),
    FROM_ENUM(SDL_MOUSEBUTTONDOWNMASK),
    FROM_ENUM(SDL_MOUSEBUTTONUPMASK),
    FROM_ENUM(SDL_MOUSEEVENTMASK),
    FROM_ENUM(SDL_JOYAXISMOTIONMASK),
    FROM_ENUM(SDL_JOYBALLMOTIONMASK),
    FROM_ENUM(SDL_JOYHATMOTIONMASK),
    FROM_ENUM(SDL_JOYBUTTONDOWNMASK),
    FROM_ENUM(SDL_JOYBUTTONUPMASK),
    FROM_ENUM(SDL_JOYEVENTMASK),
    FROM_ENUM(SDL_VIDEORESIZEMASK),
    FROM_ENUM(SDL_VIDEOEXPOSEMASK),
    FROM_ENUM(SDL_QUITMASK),
    FROM_ENUM(SDL_SYSWMEVENTMASK),
    FROM_ENUM(SDL_ADDEVENT),
    FROM_ENUM(SDL_PEEKEVENT),
    FROM_ENUM(SDL_GETEVENT),
    FROM_ENUM(KMOD_NONE),
    FROM_ENUM(KMOD_LSHIFT),
    FROM_ENUM(KMOD_RSHIFT),
    FROM_ENUM(KMOD_LCTRL),
    FROM_ENUM(KMOD_RCTRL),
    FROM_ENUM(KMOD_LALT),
    FROM_ENUM(KMOD_RALT),
    FROM_ENUM(KMOD_LMETA),
    FROM_ENUM(KMOD_RMETA),
    FROM_ENUM(KMOD_NUM),
    FROM_ENUM(KMOD_CAPS),
    FROM_ENUM(KMOD_MODE),
    FROM_ENUM(KMOD_RESERVED),
    FROM_ENUM(SDL_FALSE),
    FROM_ENUM(SDL_TRUE),
    FROM_ENUM(DUMMY_ENUM_VALUE),
    FROM_ENUM(SDL_GL_RED_SIZE),
    FROM_ENUM(SDL_GL_GREEN_SIZE),
    FROM_ENUM(SDL_GL_BLUE_SIZE),
    FROM_ENUM(SDL_GL_ALPHA_SIZE),
    FROM_ENUM(SDL_GL_BUFFER_SIZE),
    FROM_ENUM(SDL_GL_DOUBLEBUFFER),
    FROM_ENUM(SDL_GL_DEPTH_SIZE),
    FROM_ENUM(SDL_GL_STENCIL_SIZE),
    FROM_ENUM(SDL_GL_ACCUM_RED_SIZE),
    FROM_ENUM(SDL_GL_ACCUM_GREEN_SIZE),
    FROM_ENUM(SDL_GL_ACCUM_BLUE_SIZE),
    FROM_ENUM(SDL_GL_ACCUM_ALPHA_SIZE),
    FROM_ENUM(SDL_GL_STEREO),
    FROM_ENUM(SDL_GL_MULTISAMPLEBUFFERS),
    FROM_ENUM(SDL_GL_MULTISAMPLESAMPLES),
    FROM_ENUM(SDL_GL_ACCELERATED_VISUAL),
    FROM_ENUM(SDL_GL_SWAP_CONTROL),
    FROM_ENUM(SDL_GRAB_QUERY),
    FROM_ENUM(SDL_GRAB_OFF),
    FROM_ENUM(SDL_GRAB_ON),
    FROM_ENUM(SDL_GRAB_FULLSCREEN),
    FROM_ENUM(IMG_INIT_JPG),
    FROM_ENUM(IMG_INIT_PNG),
    FROM_ENUM(IMG_INIT_TIF),
    FROM_ENUM(IMG_INIT_WEBP),
    FROM_ENUM(MIX_INIT_FLAC),
    FROM_ENUM(MIX_INIT_MOD),
    FROM_ENUM(MIX_INIT_MP3),
    FROM_ENUM(MIX_INIT_OGG),
    FROM_ENUM(MIX_INIT_FLUIDSYNTH),
    FROM_ENUM(MIX_NO_FADING),
    FROM_ENUM(MIX_FADING_OUT),
    FROM_ENUM(MIX_FADING_IN),
    FROM_ENUM(MUS_NONE),
    FROM_ENUM(MUS_CMD),
    FROM_ENUM(MUS_WAV),
    FROM_ENUM(MUS_MOD),
    FROM_ENUM(MUS_MID),
    FROM_ENUM(MUS_OGG),
    FROM_ENUM(MUS_MP3),
    FROM_ENUM(MUS_MP3_MAD),
    FROM_ENUM(MUS_FLAC),
    FROM_ENUM(MUS_MODPLUG),};

// ...and with their documented values.
const std::pair<const char*, long long> kListedEnums[] = {
    {"SDL_AUDIO_STOPPED", 0},
    {"SDL_AUDIO_PLAYING", 1},
    {"SDL_AUDIO_PAUSED", 2},
    {"CD_TRAYEMPTY", 0},
    {"CD_STOPPED", 1},
    {"CD_PLAYING", 2},
    {"CD_PAUSED", 3},
    {"CD_ERROR", -1},
    {"SDL_NOEVENT", 0},
    {"SDL_ACTIVEEVENT", 1},
    {"SDL_KEYDOWN", 2},
    {"SDL_KEYUP", 3},
    {"SDL_MOUSEMOTION", 4},
    {"SDL_MOUSEBUTTONDOWN", 5},
    {"SDL_MOUSEBUTTONUP", 6},
    {"SDL_JOYAXISMOTION", 7},
    {"SDL_JOYBALLMOTION", 8},
    {"SDL_JOYHATMOTION", 9},
    {"SDL_JOYBUTTONDOWN", 10},
    {"SDL_JOYBUTTONUP", 11},
    {"SDL_QUIT", 12},
    {"SDL_SYSWMEVENT", 13},
    {"SDL_EVENT_RESERVEDA", 14},
    {"SDL_EVENT_RESERVEDB", 15},
    {"SDL_VIDEORESIZE", 16},
    {"SDL_VIDEOEXPOSE", 17},
    {"SDL_EVENT_RESERVED2", 18},
    {"SDL_EVENT_RESERVED3", 19},
    {"SDL_EVENT_RESERVED4", 20},
    {"SDL_EVENT_RESERVED5", 21},
    {"SDL_EVENT_RESERVED6", 22},
    {"SDL_EVENT_RESERVED7", 23},
    {"SDL_USEREVENT", 24},
    {"SDL_NUMEVENTS", 32},
    {"SDL_ACTIVEEVENTMASK", 2},
    {"SDL_KEYDOWNMASK", 4},
    {"SDL_KEYUPMASK", 8},
    {"SDL_KEYEVENTMASK", 12},
    {"SDL_MOUSEMOTIONMASK", 16},
    {"SDL_MOUSEBUTTONDOWNMASK", 32},
    {"SDL_MOUSEBUTTONUPMASK", 64},
    {"SDL_MOUSEEVENTMASK", 112},
    {"SDL_JOYAXISMOTIONMASK", 128},
    {"SDL_JOYBALLMOTIONMASK", 256},
    {"SDL_JOYHATMOTIONMASK", 512},
    {"SDL_JOYBUTTONDOWNMASK", 1024},
    {"SDL_JOYBUTTONUPMASK", 2048},
    {"SDL_JOYEVENTMASK", 3968},
    {"SDL_VIDEORESIZEMASK", 65536},
    {"SDL_VIDEOEXPOSEMASK", 131072},
    {"SDL_QUITMASK", 4096},
    {"SDL_SYSWMEVENTMASK", 8192},
    {"SDL_ADDEVENT", 0},
    {"SDL_PEEKEVENT", 1},
    {"SDL_GETEVENT", 2},
    {"KMOD_NONE", 0},
    {"KMOD_LSHIFT", 1},
    {"KMOD_RSHIFT", 2},
    {"KMOD_LCTRL", 64},
    {"KMOD_RCTRL", 128},
    {"KMOD_LALT", 256},
    {"KMOD_RALT", 512},
    {"KMOD_LMETA", 1024},
    {"KMOD_RMETA", 2048},
    {"KMOD_NUM", 4096},
    {"KMOD_CAPS", 8192},
    {"KMOD_MODE", 16384},
    {"KMOD_RESERVED", 32768},
    {"SDL_FALSE", 0},
    {"SDL_TRUE", 1},
    {"DUMMY_ENUM_VALUE", 0},
    {"SDL_GL_RED_SIZE", 0},
    {"SDL_GL_GREEN_SIZE", 1},
    {"SDL_GL_BLUE_SIZE", 2},
    {"SDL_GL_ALPHA_SIZE", 3},
    {"SDL_GL_BUFFER_SIZE", 4},
    {"SDL_GL_DOUBLEBUFFER", 5},
    {"SDL_GL_DEPTH_SIZE", 6},
    {"SDL_GL_STENCIL_SIZE", 7},
    {"SDL_GL_ACCUM_RED_SIZE", 8},
    {"SDL_GL_ACCUM_GREEN_SIZE", 9},
    {"SDL_GL_ACCUM_BLUE_SIZE", 10},
    {"SDL_GL_ACCUM_ALPHA_SIZE", 11},
    {"SDL_GL_STEREO", 12},
    {"SDL_GL_MULTISAMPLEBUFFERS", 13},
    {"SDL_GL_MULTISAMPLESAMPLES", 14},
    {"SDL_GL_ACCELERATED_VISUAL", 15},
    {"SDL_GL_SWAP_CONTROL", 16},
    {"SDL_GRAB_QUERY", -1},
    {"SDL_GRAB_OFF", 0},
    {"SDL_GRAB_ON", 1},
    {"SDL_GRAB_FULLSCREEN", 2},
    {"IMG_INIT_JPG", 1},
    {"IMG_INIT_PNG", 2},
    {"IMG_INIT_TIF", 4},
    {"IMG_INIT_WEBP", 8},
    {"MIX_INIT_FLAC", 1},
    {"MIX_INIT_MOD", 2},
    {"MIX_INIT_MP3", 4},
    {"MIX_INIT_OGG", 8},
    {"MIX_INIT_FLUIDSYNTH", 16},
    {"MIX_NO_FADING", 0},
    {"MIX_FADING_OUT", 1},
    {"MIX_FADING_IN", 2},
    {"MUS_NONE", 0},
    {"MUS_CMD", 1},
    {"MUS_WAV", 2},
    {"MUS_MOD", 3},
    {"MUS_MID", 4},
    {"MUS_OGG", 5},
    {"MUS_MP3", 6},
    {"MUS_MP3_MAD", 7},
    {"MUS_FLAC", 8},
    {"MUS_MODPLUG", 9},};

struct KeyDef {
  std::string name;
  long long value;
};

// The SDLKey enumeration as SDL_keysym.h spells it, in header order; an
// entry without an initialiser takes the previous value plus one.
std::vector<KeyDef> ParseKeysymHeader() {
  std::vector<KeyDef> keys;
  std::ifstream in("/usr/include/SDL/SDL_keysym.h");
  std::string line;
  bool inKeys = false;
  long long next = 0;
  const std::regex entry(R"(^\s*(SDLK_\w+)\s*(?:=\s*(\d+))?\s*,?\s*(?:/\*.*)?$)");
  while (std::getline(in, line)) {
    if (!inKeys) {
      if (line.find("typedef enum") != std::string::npos) inKeys = true;
      continue;
    }
    if (line.find("} SDLKey;") != std::string::npos) break;
    std::smatch m;
    if (!std::regex_match(line, m, entry)) continue;
    long long value = m[2].matched ? std::stoll(m[2].str()) : next;
    keys.push_back({m[1].str(), value});
    next = value + 1;
  }
  return keys;
}

class ConstantsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    L = luaL_newstate();
    ASSERT_NE(L, nullptr);
    luaL_openlibs(L);
  }
  void TearDown() override { lua_close(L); }

  // Registers all three sets into one table whose __newindex records every
  // new key in order; a name set twice would reach __newindex only once.
  void RegisterAllRecording() {
    ASSERT_EQ(luaL_dostring(L,
                  "order = {}\n"
                  "target = setmetatable({}, {__newindex = function(t, k, v)\n"
                  "  order[#order + 1] = k; rawset(t, k, v) end})"),
              0);
    lua_getglobal(L, "target");
    RegisterNumberConstants(L, -1);
    RegisterStringConstants(L, -1, g_runtime.baseDir);
    RegisterEnumConstants(L);
    lua_pop(L, 1);
    ASSERT_EQ(lua_gettop(L), 0);
  }

  double Get(const char* name) {
    lua_getglobal(L, "target");
    lua_getfield(L, -1, name);
    EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER) << name;
    double v = lua_tonumber(L, -1);
    lua_pop(L, 2);
    return v;
  }

  std::vector<std::string> Order() {
    std::vector<std::string> names;
    lua_getglobal(L, "order");
    int n = static_cast<int>(lua_objlen(L, -1));
    for (int i = 1; i <= n; ++i) {
      lua_rawgeti(L, -1, i);
      names.emplace_back(lua_tostring(L, -1));
      lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return names;
  }

  lua_State* L = nullptr;
};

TEST_F(ConstantsTest, NumberConstantsAreSetInOrderWithDocumentedValues) {
  RegisterAllRecording();
  constexpr size_t kCount = sizeof(kListedNumbers) / sizeof(kListedNumbers[0]);
  ASSERT_EQ(kCount, 161u);
  ASSERT_EQ(kNumberConstantCount, 161u);
  std::vector<std::string> order = Order();
  ASSERT_GE(order.size(), kCount);
  EXPECT_EQ(order.front(), "SDL_INIT_TIMER");
  EXPECT_EQ(order[kCount - 1], "KAVRO_PATCHLEVEL");
  for (size_t i = 0; i < kCount; ++i) {
    EXPECT_EQ(order[i], kListedNumbers[i].name) << "position " << i;
    if (!kListedNumbers[i].versioned) {
      EXPECT_EQ(Get(kListedNumbers[i].name), kListedNumbers[i].value) << kListedNumbers[i].name;
    }
  }
}

TEST_F(ConstantsTest, NumberConstantsMatchLibraryHeaders) {
  RegisterAllRecording();
  for (const auto& [name, value] : kHeaderNumbers) EXPECT_EQ(Get(name), value) << name;
}

TEST_F(ConstantsTest, UnsignedAndNegativeValuesKeepTheirSign) {
  RegisterAllRecording();
  for (const char* name :
       {"SDL_ALLEVENTS", "SDL_ALL_HOTKEYS", "SDL_MUTEX_MAXWAIT", "INADDR_NONE", "INADDR_BROADCAST"}) {
    EXPECT_EQ(Get(name), 4294967295.0) << name;
  }
  EXPECT_EQ(Get("SDL_FULLSCREEN"), 2147483648.0);
  EXPECT_EQ(Get("SDL_QUERY"), -1.0);
  EXPECT_EQ(Get("CD_ERROR"), -1.0);
  EXPECT_EQ(Get("SDL_GRAB_QUERY"), -1.0);
  EXPECT_EQ(Get("ZIP_ERRNO"), -1.0);
  EXPECT_EQ(Get("MIX_CHANNEL_POST"), -2.0);
  EXPECT_EQ(Get("KAVRO_VERSION"), 67073.0);
  EXPECT_EQ(Get("SDLK_ESCAPE"), 27.0);
}

TEST_F(ConstantsTest, LibraryVersionsFollowInstalledHeaders) {
  RegisterAllRecording();
  SDL_version v;
  SDL_VERSION(&v);
  EXPECT_EQ(Get("SDL_MAJOR_VERSION"), v.major);
  EXPECT_EQ(Get("SDL_MINOR_VERSION"), v.minor);
  EXPECT_EQ(Get("SDL_PATCHLEVEL"), v.patch);
  SDL_IMAGE_VERSION(&v);
  EXPECT_EQ(Get("SDL_IMAGE_PATCHLEVEL"), v.patch);
  SDL_TTF_VERSION(&v);
  EXPECT_EQ(Get("SDL_TTF_PATCHLEVEL"), v.patch);
  SDL_MIXER_VERSION(&v);
  EXPECT_EQ(Get("SDL_MIXER_PATCHLEVEL"), v.patch);
  SDL_NET_VERSION(&v);
  EXPECT_EQ(Get("SDL_NET_PATCHLEVEL"), v.patch);
  EXPECT_EQ(Get("SDL_GFXPRIMITIVES_MICRO"), SDL_GFXPRIMITIVES_MICRO);
}

TEST_F(ConstantsTest, KeyEnumerationMatchesKeysymHeader) {
  std::vector<KeyDef> keys = ParseKeysymHeader();
  ASSERT_EQ(keys.size(), 234u) << "SDL_keysym.h not readable or changed";
  EXPECT_EQ(keys.front().name, "SDLK_UNKNOWN");
  EXPECT_EQ(keys.back().name, "SDLK_LAST");
  EXPECT_EQ(keys.back().value, SDLK_LAST);

  RegisterAllRecording();
  for (size_t i = 0; i < keys.size(); ++i) {
    ASSERT_NE(kEnumConstants[i].name, nullptr);
    EXPECT_EQ(keys[i].name, kEnumConstants[i].name) << "entry " << i;
    EXPECT_EQ(Get(keys[i].name.c_str()), static_cast<double>(keys[i].value)) << keys[i].name;
  }
  EXPECT_EQ(Get("SDLK_FIRST"), SDLK_FIRST);
  EXPECT_EQ(Get("SDLK_WORLD_0"), 160);
  EXPECT_EQ(Get("SDLK_WORLD_95"), 255);
  EXPECT_EQ(Get("SDLK_KP0"), 256);
  EXPECT_EQ(Get("SDLK_KP_EQUALS"), 272);
  EXPECT_EQ(Get("SDLK_LAST"), 323);
}

TEST_F(ConstantsTest, EnumerationFamiliesFollowTheKeysInOrder) {
  constexpr size_t kKeys = 234;
  size_t count = 0;
  while (kEnumConstants[count].name != nullptr) ++count;
  EXPECT_EQ(count, 348u);
  EXPECT_EQ(kEnumConstants[count].value, 0);

  constexpr size_t kFamilies = sizeof(kListedEnums) / sizeof(kListedEnums[0]);
  ASSERT_EQ(kFamilies, count - kKeys);
  RegisterAllRecording();
  for (size_t i = 0; i < kFamilies; ++i) {
    EXPECT_STREQ(kEnumConstants[kKeys + i].name, kListedEnums[i].first);
    EXPECT_EQ(Get(kListedEnums[i].first), static_cast<double>(kListedEnums[i].second)) << kListedEnums[i].first;
  }
  for (const auto& [name, value] : kHeaderEnums) EXPECT_EQ(Get(name), static_cast<double>(value)) << name;
}

TEST_F(ConstantsTest, EventMasksAgreeWithMaskMacro) {
  RegisterAllRecording();
  EXPECT_EQ(Get("SDL_ACTIVEEVENTMASK"), SDL_EVENTMASK(SDL_ACTIVEEVENT));
  EXPECT_EQ(Get("SDL_KEYDOWNMASK"), SDL_EVENTMASK(SDL_KEYDOWN));
  EXPECT_EQ(Get("SDL_KEYUPMASK"), SDL_EVENTMASK(SDL_KEYUP));
  EXPECT_EQ(Get("SDL_KEYEVENTMASK"), SDL_EVENTMASK(SDL_KEYDOWN) | SDL_EVENTMASK(SDL_KEYUP));
  EXPECT_EQ(Get("SDL_MOUSEMOTIONMASK"), SDL_EVENTMASK(SDL_MOUSEMOTION));
  EXPECT_EQ(Get("SDL_MOUSEBUTTONDOWNMASK"), SDL_EVENTMASK(SDL_MOUSEBUTTONDOWN));
  EXPECT_EQ(Get("SDL_MOUSEBUTTONUPMASK"), SDL_EVENTMASK(SDL_MOUSEBUTTONUP));
  EXPECT_EQ(Get("SDL_MOUSEEVENTMASK"), SDL_EVENTMASK(SDL_MOUSEMOTION) | SDL_EVENTMASK(SDL_MOUSEBUTTONDOWN) |
                                           SDL_EVENTMASK(SDL_MOUSEBUTTONUP));
  EXPECT_EQ(Get("SDL_JOYAXISMOTIONMASK"), SDL_EVENTMASK(SDL_JOYAXISMOTION));
  EXPECT_EQ(Get("SDL_JOYBALLMOTIONMASK"), SDL_EVENTMASK(SDL_JOYBALLMOTION));
  EXPECT_EQ(Get("SDL_JOYHATMOTIONMASK"), SDL_EVENTMASK(SDL_JOYHATMOTION));
  EXPECT_EQ(Get("SDL_JOYBUTTONDOWNMASK"), SDL_EVENTMASK(SDL_JOYBUTTONDOWN));
  EXPECT_EQ(Get("SDL_JOYBUTTONUPMASK"), SDL_EVENTMASK(SDL_JOYBUTTONUP));
  EXPECT_EQ(Get("SDL_JOYEVENTMASK"), SDL_EVENTMASK(SDL_JOYAXISMOTION) | SDL_EVENTMASK(SDL_JOYBALLMOTION) |
                                         SDL_EVENTMASK(SDL_JOYHATMOTION) | SDL_EVENTMASK(SDL_JOYBUTTONDOWN) |
                                         SDL_EVENTMASK(SDL_JOYBUTTONUP));
  EXPECT_EQ(Get("SDL_VIDEORESIZEMASK"), SDL_EVENTMASK(SDL_VIDEORESIZE));
  EXPECT_EQ(Get("SDL_VIDEOEXPOSEMASK"), SDL_EVENTMASK(SDL_VIDEOEXPOSE));
  EXPECT_EQ(Get("SDL_QUITMASK"), SDL_EVENTMASK(SDL_QUIT));
  EXPECT_EQ(Get("SDL_SYSWMEVENTMASK"), SDL_EVENTMASK(SDL_SYSWMEVENT));
}

TEST_F(ConstantsTest, StringConstantsAndNoNameTwice) {
  char saved[sizeof g_runtime.baseDir];
  memcpy(saved, g_runtime.baseDir, sizeof saved);
  strcpy(g_runtime.baseDir, "/opt/game/");
  RegisterAllRecording();
  memcpy(g_runtime.baseDir, saved, sizeof saved);

  lua_getglobal(L, "target");
  lua_getfield(L, -1, "KAVRO_VERSION_STRING");
  EXPECT_EQ(lua_type(L, -1), LUA_TSTRING);
  EXPECT_STREQ(lua_tostring(L, -1), "1.6.1");
  lua_getfield(L, -2, "KAVRO_PATH");
  EXPECT_STREQ(lua_tostring(L, -1), "/opt/game/");
  lua_pop(L, 3);

  std::vector<std::string> order = Order();
  EXPECT_EQ(order.size(), 161u + 2u + 348u);
  std::set<std::string> distinct(order.begin(), order.end());
  EXPECT_EQ(distinct.size(), order.size());
  EXPECT_EQ(order[161], "KAVRO_VERSION_STRING");
  EXPECT_EQ(order[162], "KAVRO_PATH");
}

TEST_F(ConstantsTest, RelativeTableIndexBelowTop) {
  // The target table is not on the top of the stack: pushes must not shift it.
  lua_newtable(L);
  lua_pushnil(L);
  RegisterNumberConstants(L, -2);
  RegisterStringConstants(L, -2, "/base");
  lua_pop(L, 1);
  lua_getfield(L, -1, "SDL_INIT_VIDEO");
  EXPECT_EQ(lua_tonumber(L, -1), 32.0);
  lua_getfield(L, -2, "KAVRO_VERSION_STRING");
  EXPECT_STREQ(lua_tostring(L, -1), "1.6.1");
  lua_pop(L, 3);
  EXPECT_EQ(lua_gettop(L), 0);
}

}  // namespace
