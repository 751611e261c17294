#include "binding/constants.h"

#include <SDL.h>
#include <SDL_framerate.h>
#include <SDL_gfxPrimitives.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_net.h>
#include <SDL_rotozoom.h>
#include <SDL_ttf.h>
#include <lua.hpp>
#include <unzip.h>

#include "host/host.h"

// Values are taken from the library headers wherever they define them, so the
// script sees what the libraries it is linked against expect. Unsigned masks
// such as SDL_ALLEVENTS and INADDR_NONE stay unsigned (4294967295).
const NumberConstant kNumberConstants[] = {
    // Subsystem flags.
    {"SDL_INIT_TIMER", static_cast<double>(SDL_INIT_TIMER)},
    {"SDL_INIT_AUDIO", static_cast<double>(SDL_INIT_AUDIO)},
    {"SDL_INIT_VIDEO", static_cast<double>(SDL_INIT_VIDEO)},
    {"SDL_INIT_CDROM", static_cast<double>(SDL_INIT_CDROM)},
    {"SDL_INIT_JOYSTICK", static_cast<double>(SDL_INIT_JOYSTICK)},
    {"SDL_INIT_NOPARACHUTE", static_cast<double>(SDL_INIT_NOPARACHUTE)},
    {"SDL_INIT_EVENTTHREAD", static_cast<double>(SDL_INIT_EVENTTHREAD)},
    {"SDL_INIT_EVERYTHING", static_cast<double>(SDL_INIT_EVERYTHING)},

    // Application state.
    {"SDL_APPMOUSEFOCUS", static_cast<double>(SDL_APPMOUSEFOCUS)},
    {"SDL_APPINPUTFOCUS", static_cast<double>(SDL_APPINPUTFOCUS)},
    {"SDL_APPACTIVE", static_cast<double>(SDL_APPACTIVE)},

    // Audio formats and volume.
    {"AUDIO_U8", static_cast<double>(AUDIO_U8)},
    {"AUDIO_S8", static_cast<double>(AUDIO_S8)},
    {"AUDIO_U16LSB", static_cast<double>(AUDIO_U16LSB)},
    {"AUDIO_S16LSB", static_cast<double>(AUDIO_S16LSB)},
    {"AUDIO_U16MSB", static_cast<double>(AUDIO_U16MSB)},
    {"AUDIO_S16MSB", static_cast<double>(AUDIO_S16MSB)},
    {"AUDIO_U16", static_cast<double>(AUDIO_U16)},
    {"AUDIO_S16", static_cast<double>(AUDIO_S16)},
    {"AUDIO_U16SYS", static_cast<double>(AUDIO_U16SYS)},
    {"AUDIO_S16SYS", static_cast<double>(AUDIO_S16SYS)},
    {"SDL_MIX_MAXVOLUME", static_cast<double>(SDL_MIX_MAXVOLUME)},

    // CD-ROM.
    {"SDL_MAX_TRACKS", static_cast<double>(SDL_MAX_TRACKS)},
    {"SDL_AUDIO_TRACK", static_cast<double>(SDL_AUDIO_TRACK)},
    {"SDL_DATA_TRACK", static_cast<double>(SDL_DATA_TRACK)},
    {"CD_FPS", static_cast<double>(CD_FPS)},

    // Byte order.
    {"SDL_LIL_ENDIAN", static_cast<double>(SDL_LIL_ENDIAN)},
    {"SDL_BIG_ENDIAN", static_cast<double>(SDL_BIG_ENDIAN)},
    {"SDL_BYTEORDER", static_cast<double>(SDL_BYTEORDER)},

    // Key and button states, event state queries.
    {"SDL_RELEASED", static_cast<double>(SDL_RELEASED)},
    {"SDL_PRESSED", static_cast<double>(SDL_PRESSED)},
    {"SDL_ALLEVENTS", static_cast<double>(SDL_ALLEVENTS)},
    {"SDL_QUERY", static_cast<double>(SDL_QUERY)},
    {"SDL_IGNORE", static_cast<double>(SDL_IGNORE)},
    {"SDL_DISABLE", static_cast<double>(SDL_DISABLE)},
    {"SDL_ENABLE", static_cast<double>(SDL_ENABLE)},

    // Joystick hats.
    {"SDL_HAT_CENTERED", static_cast<double>(SDL_HAT_CENTERED)},
    {"SDL_HAT_UP", static_cast<double>(SDL_HAT_UP)},
    {"SDL_HAT_RIGHT", static_cast<double>(SDL_HAT_RIGHT)},
    {"SDL_HAT_DOWN", static_cast<double>(SDL_HAT_DOWN)},
    {"SDL_HAT_LEFT", static_cast<double>(SDL_HAT_LEFT)},
    {"SDL_HAT_RIGHTUP", static_cast<double>(SDL_HAT_RIGHTUP)},
    {"SDL_HAT_RIGHTDOWN", static_cast<double>(SDL_HAT_RIGHTDOWN)},
    {"SDL_HAT_LEFTUP", static_cast<double>(SDL_HAT_LEFTUP)},
    {"SDL_HAT_LEFTDOWN", static_cast<double>(SDL_HAT_LEFTDOWN)},

    // Keyboard.
    {"SDL_ALL_HOTKEYS", static_cast<double>(SDL_ALL_HOTKEYS)},
    {"SDL_DEFAULT_REPEAT_DELAY", static_cast<double>(SDL_DEFAULT_REPEAT_DELAY)},
    {"SDL_DEFAULT_REPEAT_INTERVAL", static_cast<double>(SDL_DEFAULT_REPEAT_INTERVAL)},
    {"KMOD_CTRL", static_cast<double>(KMOD_CTRL)},
    {"KMOD_SHIFT", static_cast<double>(KMOD_SHIFT)},
    {"KMOD_ALT", static_cast<double>(KMOD_ALT)},
    {"KMOD_META", static_cast<double>(KMOD_META)},

    // Mouse buttons.
    {"SDL_BUTTON_LEFT", static_cast<double>(SDL_BUTTON_LEFT)},
    {"SDL_BUTTON_MIDDLE", static_cast<double>(SDL_BUTTON_MIDDLE)},
    {"SDL_BUTTON_RIGHT", static_cast<double>(SDL_BUTTON_RIGHT)},
    {"SDL_BUTTON_WHEELUP", static_cast<double>(SDL_BUTTON_WHEELUP)},
    {"SDL_BUTTON_WHEELDOWN", static_cast<double>(SDL_BUTTON_WHEELDOWN)},
    {"SDL_BUTTON_X1", static_cast<double>(SDL_BUTTON_X1)},
    {"SDL_BUTTON_X2", static_cast<double>(SDL_BUTTON_X2)},
    {"SDL_BUTTON_LMASK", static_cast<double>(SDL_BUTTON_LMASK)},
    {"SDL_BUTTON_MMASK", static_cast<double>(SDL_BUTTON_MMASK)},
    {"SDL_BUTTON_RMASK", static_cast<double>(SDL_BUTTON_RMASK)},
    {"SDL_BUTTON_X1MASK", static_cast<double>(SDL_BUTTON_X1MASK)},
    {"SDL_BUTTON_X2MASK", static_cast<double>(SDL_BUTTON_X2MASK)},

    // Mutex, streams, timer.
    {"SDL_MUTEX_TIMEDOUT", static_cast<double>(SDL_MUTEX_TIMEDOUT)},
    {"SDL_MUTEX_MAXWAIT", static_cast<double>(SDL_MUTEX_MAXWAIT)},
    {"RW_SEEK_SET", static_cast<double>(RW_SEEK_SET)},
    {"RW_SEEK_CUR", static_cast<double>(RW_SEEK_CUR)},
    {"RW_SEEK_END", static_cast<double>(RW_SEEK_END)},
    {"SDL_TIMESLICE", static_cast<double>(SDL_TIMESLICE)},
    {"TIMER_RESOLUTION", static_cast<double>(TIMER_RESOLUTION)},

    // SDL version (installed headers).
    {"SDL_MAJOR_VERSION", static_cast<double>(SDL_MAJOR_VERSION)},
    {"SDL_MINOR_VERSION", static_cast<double>(SDL_MINOR_VERSION)},
    {"SDL_PATCHLEVEL", static_cast<double>(SDL_PATCHLEVEL)},

    // Video.
    {"SDL_ALPHA_OPAQUE", static_cast<double>(SDL_ALPHA_OPAQUE)},
    {"SDL_ALPHA_TRANSPARENT", static_cast<double>(SDL_ALPHA_TRANSPARENT)},
    {"SDL_SWSURFACE", static_cast<double>(SDL_SWSURFACE)},
    {"SDL_HWSURFACE", static_cast<double>(SDL_HWSURFACE)},
    {"SDL_ASYNCBLIT", static_cast<double>(SDL_ASYNCBLIT)},
    {"SDL_ANYFORMAT", static_cast<double>(SDL_ANYFORMAT)},
    {"SDL_HWPALETTE", static_cast<double>(SDL_HWPALETTE)},
    {"SDL_DOUBLEBUF", static_cast<double>(SDL_DOUBLEBUF)},
    {"SDL_FULLSCREEN", static_cast<double>(SDL_FULLSCREEN)},
    {"SDL_OPENGL", static_cast<double>(SDL_OPENGL)},
    {"SDL_OPENGLBLIT", static_cast<double>(SDL_OPENGLBLIT)},
    {"SDL_RESIZABLE", static_cast<double>(SDL_RESIZABLE)},
    {"SDL_NOFRAME", static_cast<double>(SDL_NOFRAME)},
    {"SDL_HWACCEL", static_cast<double>(SDL_HWACCEL)},
    {"SDL_SRCCOLORKEY", static_cast<double>(SDL_SRCCOLORKEY)},
    {"SDL_RLEACCELOK", static_cast<double>(SDL_RLEACCELOK)},
    {"SDL_RLEACCEL", static_cast<double>(SDL_RLEACCEL)},
    {"SDL_SRCALPHA", static_cast<double>(SDL_SRCALPHA)},
    {"SDL_PREALLOC", static_cast<double>(SDL_PREALLOC)},
    {"SDL_YV12_OVERLAY", static_cast<double>(SDL_YV12_OVERLAY)},
    {"SDL_IYUV_OVERLAY", static_cast<double>(SDL_IYUV_OVERLAY)},
    {"SDL_YUY2_OVERLAY", static_cast<double>(SDL_YUY2_OVERLAY)},
    {"SDL_UYVY_OVERLAY", static_cast<double>(SDL_UYVY_OVERLAY)},
    {"SDL_YVYU_OVERLAY", static_cast<double>(SDL_YVYU_OVERLAY)},
    {"SDL_LOGPAL", static_cast<double>(SDL_LOGPAL)},
    {"SDL_PHYSPAL", static_cast<double>(SDL_PHYSPAL)},

    // SDL_image (installed headers).
    {"SDL_IMAGE_MAJOR_VERSION", static_cast<double>(SDL_IMAGE_MAJOR_VERSION)},
    {"SDL_IMAGE_MINOR_VERSION", static_cast<double>(SDL_IMAGE_MINOR_VERSION)},
    {"SDL_IMAGE_PATCHLEVEL", static_cast<double>(SDL_IMAGE_PATCHLEVEL)},

    // SDL_ttf.
    {"SDL_TTF_MAJOR_VERSION", static_cast<double>(SDL_TTF_MAJOR_VERSION)},
    {"SDL_TTF_MINOR_VERSION", static_cast<double>(SDL_TTF_MINOR_VERSION)},
    {"SDL_TTF_PATCHLEVEL", static_cast<double>(SDL_TTF_PATCHLEVEL)},
    {"UNICODE_BOM_NATIVE", static_cast<double>(UNICODE_BOM_NATIVE)},
    {"UNICODE_BOM_SWAPPED", static_cast<double>(UNICODE_BOM_SWAPPED)},
    {"TTF_STYLE_NORMAL", static_cast<double>(TTF_STYLE_NORMAL)},
    {"TTF_STYLE_BOLD", static_cast<double>(TTF_STYLE_BOLD)},
    {"TTF_STYLE_ITALIC", static_cast<double>(TTF_STYLE_ITALIC)},
    {"TTF_STYLE_UNDERLINE", static_cast<double>(TTF_STYLE_UNDERLINE)},
    {"TTF_STYLE_STRIKETHROUGH", static_cast<double>(TTF_STYLE_STRIKETHROUGH)},
    {"TTF_HINTING_NORMAL", static_cast<double>(TTF_HINTING_NORMAL)},
    {"TTF_HINTING_LIGHT", static_cast<double>(TTF_HINTING_LIGHT)},
    {"TTF_HINTING_MONO", static_cast<double>(TTF_HINTING_MONO)},
    {"TTF_HINTING_NONE", static_cast<double>(TTF_HINTING_NONE)},

    // SDL_mixer.
    {"SDL_MIXER_MAJOR_VERSION", static_cast<double>(SDL_MIXER_MAJOR_VERSION)},
    {"SDL_MIXER_MINOR_VERSION", static_cast<double>(SDL_MIXER_MINOR_VERSION)},
    {"SDL_MIXER_PATCHLEVEL", static_cast<double>(SDL_MIXER_PATCHLEVEL)},
    {"MIX_CHANNELS", static_cast<double>(MIX_CHANNELS)},
    {"MIX_DEFAULT_FREQUENCY", static_cast<double>(MIX_DEFAULT_FREQUENCY)},
    {"MIX_DEFAULT_FORMAT", static_cast<double>(MIX_DEFAULT_FORMAT)},
    {"MIX_DEFAULT_CHANNELS", static_cast<double>(MIX_DEFAULT_CHANNELS)},
    {"MIX_MAX_VOLUME", static_cast<double>(MIX_MAX_VOLUME)},
    {"MIX_CHANNEL_POST", static_cast<double>(MIX_CHANNEL_POST)},

    // SDL_net.
    {"SDL_NET_MAJOR_VERSION", static_cast<double>(SDL_NET_MAJOR_VERSION)},
    {"SDL_NET_MINOR_VERSION", static_cast<double>(SDL_NET_MINOR_VERSION)},
    {"SDL_NET_PATCHLEVEL", static_cast<double>(SDL_NET_PATCHLEVEL)},
    {"INADDR_ANY", static_cast<double>(INADDR_ANY)},
    {"INADDR_NONE", static_cast<double>(INADDR_NONE)},
    {"INADDR_BROADCAST", static_cast<double>(INADDR_BROADCAST)},
    {"NET_MAX_UDPCHANNELS", static_cast<double>(SDLNET_MAX_UDPCHANNELS)},
    {"NET_MAX_UDPADDRESSES", static_cast<double>(SDLNET_MAX_UDPADDRESSES)},

    // SDL_gfx.
    {"SDL_DATA_ALIGNED", static_cast<double>(SDL_DATA_ALIGNED)},
    {"FPS_UPPER_LIMIT", static_cast<double>(FPS_UPPER_LIMIT)},
    {"FPS_LOWER_LIMIT", static_cast<double>(FPS_LOWER_LIMIT)},
    {"FPS_DEFAULT", static_cast<double>(FPS_DEFAULT)},
    {"SDL_GFXPRIMITIVES_MAJOR", static_cast<double>(SDL_GFXPRIMITIVES_MAJOR)},
    {"SDL_GFXPRIMITIVES_MINOR", static_cast<double>(SDL_GFXPRIMITIVES_MINOR)},
    {"SDL_GFXPRIMITIVES_MICRO", static_cast<double>(SDL_GFXPRIMITIVES_MICRO)},
    {"GFX_FONTDATAMAX", 2048.0},
    {"SMOOTHING_OFF", static_cast<double>(SMOOTHING_OFF)},
    {"SMOOTHING_ON", static_cast<double>(SMOOTHING_ON)},

    // Archive module; the status codes are minizip's unzip codes.
    {"ZIP_MAJOR_VERSION", 1.0},
    {"ZIP_MINOR_VERSION", 1.0},
    {"ZIP_PATCHLEVEL", 0.0},
    {"ZIP_OK", static_cast<double>(UNZ_OK)},
    {"ZIP_END_OF_LIST_OF_FILE", static_cast<double>(UNZ_END_OF_LIST_OF_FILE)},
    {"ZIP_ERRNO", static_cast<double>(UNZ_ERRNO)},
    {"ZIP_EOF", static_cast<double>(UNZ_EOF)},
    {"ZIP_PARAMERROR", static_cast<double>(UNZ_PARAMERROR)},
    {"ZIP_BADZIPFILE", static_cast<double>(UNZ_BADZIPFILE)},
    {"ZIP_INTERNALERROR", static_cast<double>(UNZ_INTERNALERROR)},
    {"ZIP_CRCERROR", static_cast<double>(UNZ_CRCERROR)},

    // Runtime.
    {"KAVRO_SUCCESS", 0.0},
    {"KAVRO_FAILURE", 1.0},
    {"KAVRO_VERSION", 67073.0},
    {"KAVRO_MAJOR_VERSION", 1.0},
    {"KAVRO_MINOR_VERSION", 6.0},
    {"KAVRO_PATCHLEVEL", 1.0},
};

namespace {

// A relative stack index turned absolute, so pushes do not shift it.
int AbsoluteIndex(lua_State* L, int index) {
  return (index < 0 && index > LUA_REGISTRYINDEX) ? lua_gettop(L) + index + 1 : index;
}

}  // namespace

const size_t kNumberConstantCount = sizeof(kNumberConstants) / sizeof(kNumberConstants[0]);

const EnumConstant kEnumConstants[] = {
    // Keys, in SDL_keysym.h order.
    {"SDLK_UNKNOWN", SDLK_UNKNOWN},
    {"SDLK_FIRST", SDLK_FIRST},
    {"SDLK_BACKSPACE", SDLK_BACKSPACE},
    {"SDLK_TAB", SDLK_TAB},
    {"SDLK_CLEAR", SDLK_CLEAR},
    {"SDLK_RETURN", SDLK_RETURN},
    {"SDLK_PAUSE", SDLK_PAUSE},
    {"SDLK_ESCAPE", SDLK_ESCAPE},
    {"SDLK_SPACE", SDLK_SPACE},
    {"SDLK_EXCLAIM", SDLK_EXCLAIM},
    {"SDLK_QUOTEDBL", SDLK_QUOTEDBL},
    {"SDLK_HASH", SDLK_HASH},
    {"SDLK_DOLLAR", SDLK_DOLLAR},
    {"SDLK_AMPERSAND", SDLK_AMPERSAND},
    {"SDLK_QUOTE", SDLK_QUOTE},
    {"SDLK_LEFTPAREN", SDLK_LEFTPAREN},
    {"SDLK_RIGHTPAREN", SDLK_RIGHTPAREN},
    {"SDLK_ASTERISK", SDLK_ASTERISK},
    {"SDLK_PLUS", SDLK_PLUS},
    {"SDLK_COMMA", SDLK_COMMA},
    {"SDLK_MINUS", SDLK_MINUS},
    {"SDLK_PERIOD", SDLK_PERIOD},
    {"SDLK_SLASH", SDLK_SLASH},
    {"SDLK_0", SDLK_0},
    {"SDLK_1", SDLK_1},
    {"SDLK_2", SDLK_2},
    {"SDLK_3", SDLK_3},
    {"SDLK_4", SDLK_4},
    {"SDLK_5", SDLK_5},
    {"SDLK_6", SDLK_6},
    {"SDLK_7", SDLK_7},
    {"SDLK_8", SDLK_8},
    {"SDLK_9", SDLK_9},
    {"SDLK_COLON", SDLK_COLON},
    {"SDLK_SEMICOLON", SDLK_SEMICOLON},
    {"SDLK_LESS", SDLK_LESS},
    {"SDLK_EQUALS", SDLK_EQUALS},
    {"SDLK_GREATER", SDLK_GREATER},
    {"SDLK_QUESTION", SDLK_QUESTION},
    {"SDLK_AT", SDLK_AT},
    {"SDLK_LEFTBRACKET", SDLK_LEFTBRACKET},
    {"SDLK_BACKSLASH", SDLK_BACKSLASH},
    {"SDLK_RIGHTBRACKET", SDLK_RIGHTBRACKET},
    {"SDLK_CARET", SDLK_CARET},
    {"SDLK_UNDERSCORE", SDLK_UNDERSCORE},
    {"SDLK_BACKQUOTE", SDLK_BACKQUOTE},
    {"SDLK_a", SDLK_a},
    {"SDLK_b", SDLK_b},
    {"SDLK_c", SDLK_c},
    {"SDLK_d", SDLK_d},
    {"SDLK_e", SDLK_e},
    {"SDLK_f", SDLK_f},
    {"SDLK_g", SDLK_g},
    {"SDLK_h", SDLK_h},
    {"SDLK_i", SDLK_i},
    {"SDLK_j", SDLK_j},
    {"SDLK_k", SDLK_k},
    {"SDLK_l", SDLK_l},
    {"SDLK_m", SDLK_m},
    {"SDLK_n", SDLK_n},
    {"SDLK_o", SDLK_o},
    {"SDLK_p", SDLK_p},
    {"SDLK_q", SDLK_q},
    {"SDLK_r", SDLK_r},
    {"SDLK_s", SDLK_s},
    {"SDLK_t", SDLK_t},
    {"SDLK_u", SDLK_u},
    {"SDLK_v", SDLK_v},
    {"SDLK_w", SDLK_w},
    {"SDLK_x", SDLK_x},
    {"SDLK_y", SDLK_y},
    {"SDLK_z", SDLK_z},
    {"SDLK_DELETE", SDLK_DELETE},
    {"SDLK_WORLD_0", SDLK_WORLD_0},
    {"SDLK_WORLD_1", SDLK_WORLD_1},
    {"SDLK_WORLD_2", SDLK_WORLD_2},
    {"SDLK_WORLD_3", SDLK_WORLD_3},
    {"SDLK_WORLD_4", SDLK_WORLD_4},
    {"SDLK_WORLD_5", SDLK_WORLD_5},
    {"SDLK_WORLD_6", SDLK_WORLD_6},
    {"SDLK_WORLD_7", SDLK_WORLD_7},
    {"SDLK_WORLD_8", SDLK_WORLD_8},
    {"SDLK_WORLD_9", SDLK_WORLD_9},
    {"SDLK_WORLD_10", SDLK_WORLD_10},
    {"SDLK_WORLD_11", SDLK_WORLD_11},
    {"SDLK_WORLD_12", SDLK_WORLD_12},
    {"SDLK_WORLD_13", SDLK_WORLD_13},
    {"SDLK_WORLD_14", SDLK_WORLD_14},
    {"SDLK_WORLD_15", SDLK_WORLD_15},
    {"SDLK_WORLD_16", SDLK_WORLD_16},
    {"SDLK_WORLD_17", SDLK_WORLD_17},
    {"SDLK_WORLD_18", SDLK_WORLD_18},
    {"SDLK_WORLD_19", SDLK_WORLD_19},
    {"SDLK_WORLD_20", SDLK_WORLD_20},
    {"SDLK_WORLD_21", SDLK_WORLD_21},
    {"SDLK_WORLD_22", SDLK_WORLD_22},
    {"SDLK_WORLD_23", SDLK_WORLD_23},
    {"SDLK_WORLD_24", SDLK_WORLD_24},
    {"SDLK_WORLD_25", SDLK_WORLD_25},
    {"SDLK_WORLD_26", SDLK_WORLD_26},
    {"SDLK_WORLD_27", SDLK_WORLD_27},
    {"SDLK_WORLD_28", SDLK_WORLD_28},
    {"SDLK_WORLD_29", SDLK_WORLD_29},
    {"SDLK_WORLD_30", SDLK_WORLD_30},
    {"SDLK_WORLD_31", SDLK_WORLD_31},
    {"SDLK_WORLD_32", SDLK_WORLD_32},
    {"SDLK_WORLD_33", SDLK_WORLD_33},
    {"SDLK_WORLD_34", SDLK_WORLD_34},
    {"SDLK_WORLD_35", SDLK_WORLD_35},
    {"SDLK_WORLD_36", SDLK_WORLD_36},
    {"SDLK_WORLD_37", SDLK_WORLD_37},
    {"SDLK_WORLD_38", SDLK_WORLD_38},
    {"SDLK_WORLD_39", SDLK_WORLD_39},
    {"SDLK_WORLD_40", SDLK_WORLD_40},
    {"SDLK_WORLD_41", SDLK_WORLD_41},
    {"SDLK_WORLD_42", SDLK_WORLD_42},
    {"SDLK_WORLD_43", SDLK_WORLD_43},
    {"SDLK_WORLD_44", SDLK_WORLD_44},
    {"SDLK_WORLD_45", SDLK_WORLD_45},
    {"SDLK_WORLD_46", SDLK_WORLD_46},
    {"SDLK_WORLD_47", SDLK_WORLD_47},
    {"SDLK_WORLD_48", SDLK_WORLD_48},
    {"SDLK_WORLD_49", SDLK_WORLD_49},
    {"SDLK_WORLD_50", SDLK_WORLD_50},
    {"SDLK_WORLD_51", SDLK_WORLD_51},
    {"SDLK_WORLD_52", SDLK_WORLD_52},
    {"SDLK_WORLD_53", SDLK_WORLD_53},
    {"SDLK_WORLD_54", SDLK_WORLD_54},
    {"SDLK_WORLD_55", SDLK_WORLD_55},
    {"SDLK_WORLD_56", SDLK_WORLD_56},
    {"SDLK_WORLD_57", SDLK_WORLD_57},
    {"SDLK_WORLD_58", SDLK_WORLD_58},
    {"SDLK_WORLD_59", SDLK_WORLD_59},
    {"SDLK_WORLD_60", SDLK_WORLD_60},
    {"SDLK_WORLD_61", SDLK_WORLD_61},
    {"SDLK_WORLD_62", SDLK_WORLD_62},
    {"SDLK_WORLD_63", SDLK_WORLD_63},
    {"SDLK_WORLD_64", SDLK_WORLD_64},
    {"SDLK_WORLD_65", SDLK_WORLD_65},
    {"SDLK_WORLD_66", SDLK_WORLD_66},
    {"SDLK_WORLD_67", SDLK_WORLD_67},
    {"SDLK_WORLD_68", SDLK_WORLD_68},
    {"SDLK_WORLD_69", SDLK_WORLD_69},
    {"SDLK_WORLD_70", SDLK_WORLD_70},
    {"SDLK_WORLD_71", SDLK_WORLD_71},
    {"SDLK_WORLD_72", SDLK_WORLD_72},
    {"SDLK_WORLD_73", SDLK_WORLD_73},
    {"SDLK_WORLD_74", SDLK_WORLD_74},
    {"SDLK_WORLD_75", SDLK_WORLD_75},
    {"SDLK_WORLD_76", SDLK_WORLD_76},
    {"SDLK_WORLD_77", SDLK_WORLD_77},
    {"SDLK_WORLD_78", SDLK_WORLD_78},
    {"SDLK_WORLD_79", SDLK_WORLD_79},
    {"SDLK_WORLD_80", SDLK_WORLD_80},
    {"SDLK_WORLD_81", SDLK_WORLD_81},
    {"SDLK_WORLD_82", SDLK_WORLD_82},
    {"SDLK_WORLD_83", SDLK_WORLD_83},
    {"SDLK_WORLD_84", SDLK_WORLD_84},
    {"SDLK_WORLD_85", SDLK_WORLD_85},
    {"SDLK_WORLD_86", SDLK_WORLD_86},
    {"SDLK_WORLD_87", SDLK_WORLD_87},
    {"SDLK_WORLD_88", SDLK_WORLD_88},
    {"SDLK_WORLD_89", SDLK_WORLD_89},
    {"SDLK_WORLD_90", SDLK_WORLD_90},
    {"SDLK_WORLD_91", SDLK_WORLD_91},
    {"SDLK_WORLD_92", SDLK_WORLD_92},
    {"SDLK_WORLD_93", SDLK_WORLD_93},
    {"SDLK_WORLD_94", SDLK_WORLD_94},
    {"SDLK_WORLD_95", SDLK_WORLD_95},
    {"SDLK_KP0", SDLK_KP0},
    {"SDLK_KP1", SDLK_KP1},
    {"SDLK_KP2", SDLK_KP2},
    {"SDLK_KP3", SDLK_KP3},
    {"SDLK_KP4", SDLK_KP4},
    {"SDLK_KP5", SDLK_KP5},
    {"SDLK_KP6", SDLK_KP6},
    {"SDLK_KP7", SDLK_KP7},
    {"SDLK_KP8", SDLK_KP8},
    {"SDLK_KP9", SDLK_KP9},
    {"SDLK_KP_PERIOD", SDLK_KP_PERIOD},
    {"SDLK_KP_DIVIDE", SDLK_KP_DIVIDE},
    {"SDLK_KP_MULTIPLY", SDLK_KP_MULTIPLY},
    {"SDLK_KP_MINUS", SDLK_KP_MINUS},
    {"SDLK_KP_PLUS", SDLK_KP_PLUS},
    {"SDLK_KP_ENTER", SDLK_KP_ENTER},
    {"SDLK_KP_EQUALS", SDLK_KP_EQUALS},
    {"SDLK_UP", SDLK_UP},
    {"SDLK_DOWN", SDLK_DOWN},
    {"SDLK_RIGHT", SDLK_RIGHT},
    {"SDLK_LEFT", SDLK_LEFT},
    {"SDLK_INSERT", SDLK_INSERT},
    {"SDLK_HOME", SDLK_HOME},
    {"SDLK_END", SDLK_END},
    {"SDLK_PAGEUP", SDLK_PAGEUP},
    {"SDLK_PAGEDOWN", SDLK_PAGEDOWN},
    {"SDLK_F1", SDLK_F1},
    {"SDLK_F2", SDLK_F2},
    {"SDLK_F3", SDLK_F3},
    {"SDLK_F4", SDLK_F4},
    {"SDLK_F5", SDLK_F5},
    {"SDLK_F6", SDLK_F6},
    {"SDLK_F7", SDLK_F7},
    {"SDLK_F8", SDLK_F8},
    {"SDLK_F9", SDLK_F9},
    {"SDLK_F10", SDLK_F10},
    {"SDLK_F11", SDLK_F11},
    {"SDLK_F12", SDLK_F12},
    {"SDLK_F13", SDLK_F13},
    {"SDLK_F14", SDLK_F14},
    {"SDLK_F15", SDLK_F15},
    {"SDLK_NUMLOCK", SDLK_NUMLOCK},
    {"SDLK_CAPSLOCK", SDLK_CAPSLOCK},
    {"SDLK_SCROLLOCK", SDLK_SCROLLOCK},
    {"SDLK_RSHIFT", SDLK_RSHIFT},
    {"SDLK_LSHIFT", SDLK_LSHIFT},
    {"SDLK_RCTRL", SDLK_RCTRL},
    {"SDLK_LCTRL", SDLK_LCTRL},
    {"SDLK_RALT", SDLK_RALT},
    {"SDLK_LALT", SDLK_LALT},
    {"SDLK_RMETA", SDLK_RMETA},
    {"SDLK_LMETA", SDLK_LMETA},
    {"SDLK_LSUPER", SDLK_LSUPER},
    {"SDLK_RSUPER", SDLK_RSUPER},
    {"SDLK_MODE", SDLK_MODE},
    {"SDLK_COMPOSE", SDLK_COMPOSE},
    {"SDLK_HELP", SDLK_HELP},
    {"SDLK_PRINT", SDLK_PRINT},
    {"SDLK_SYSREQ", SDLK_SYSREQ},
    {"SDLK_BREAK", SDLK_BREAK},
    {"SDLK_MENU", SDLK_MENU},
    {"SDLK_POWER", SDLK_POWER},
    {"SDLK_EURO", SDLK_EURO},
    {"SDLK_UNDO", SDLK_UNDO},
    {"SDLK_LAST", SDLK_LAST},

    // Audio status.
    {"SDL_AUDIO_STOPPED", SDL_AUDIO_STOPPED},
    {"SDL_AUDIO_PLAYING", SDL_AUDIO_PLAYING},
    {"SDL_AUDIO_PAUSED", SDL_AUDIO_PAUSED},

    // CD-ROM status.
    {"CD_TRAYEMPTY", CD_TRAYEMPTY},
    {"CD_STOPPED", CD_STOPPED},
    {"CD_PLAYING", CD_PLAYING},
    {"CD_PAUSED", CD_PAUSED},
    {"CD_ERROR", CD_ERROR},

    // Event types.
    {"SDL_NOEVENT", SDL_NOEVENT},
    {"SDL_ACTIVEEVENT", SDL_ACTIVEEVENT},
    {"SDL_KEYDOWN", SDL_KEYDOWN},
    {"SDL_KEYUP", SDL_KEYUP},
    {"SDL_MOUSEMOTION", SDL_MOUSEMOTION},
    {"SDL_MOUSEBUTTONDOWN", SDL_MOUSEBUTTONDOWN},
    {"SDL_MOUSEBUTTONUP", SDL_MOUSEBUTTONUP},
    {"SDL_JOYAXISMOTION", SDL_JOYAXISMOTION},
    {"SDL_JOYBALLMOTION", SDL_JOYBALLMOTION},
    {"SDL_JOYHATMOTION", SDL_JOYHATMOTION},
    {"SDL_JOYBUTTONDOWN", SDL_JOYBUTTONDOWN},
    {"SDL_JOYBUTTONUP", SDL_JOYBUTTONUP},
    {"SDL_QUIT", SDL_QUIT},
    {"SDL_SYSWMEVENT", SDL_SYSWMEVENT},
    {"SDL_EVENT_RESERVEDA", SDL_EVENT_RESERVEDA},
    {"SDL_EVENT_RESERVEDB", SDL_EVENT_RESERVEDB},
    {"SDL_VIDEORESIZE", SDL_VIDEORESIZE},
    {"SDL_VIDEOEXPOSE", SDL_VIDEOEXPOSE},
    {"SDL_EVENT_RESERVED2", SDL_EVENT_RESERVED2},
    {"SDL_EVENT_RESERVED3", SDL_EVENT_RESERVED3},
    {"SDL_EVENT_RESERVED4", SDL_EVENT_RESERVED4},
    {"SDL_EVENT_RESERVED5", SDL_EVENT_RESERVED5},
    {"SDL_EVENT_RESERVED6", SDL_EVENT_RESERVED6},
    {"SDL_EVENT_RESERVED7", SDL_EVENT_RESERVED7},
    {"SDL_USEREVENT", SDL_USEREVENT},
    {"SDL_NUMEVENTS", SDL_NUMEVENTS},

    // Event masks.
    {"SDL_ACTIVEEVENTMASK", SDL_ACTIVEEVENTMASK},
    {"SDL_KEYDOWNMASK", SDL_KEYDOWNMASK},
    {"SDL_KEYUPMASK", SDL_KEYUPMASK},
    {"SDL_KEYEVENTMASK", SDL_KEYEVENTMASK},
    {"SDL_MOUSEMOTIONMASK", SDL_MOUSEMOTIONMASK},
    {"SDL_MOUSEBUTTONDOWNMASK", SDL_MOUSEBUTTONDOWNMASK},
    {"SDL_MOUSEBUTTONUPMASK", SDL_MOUSEBUTTONUPMASK},
    {"SDL_MOUSEEVENTMASK", SDL_MOUSEEVENTMASK},
    {"SDL_JOYAXISMOTIONMASK", SDL_JOYAXISMOTIONMASK},
    {"SDL_JOYBALLMOTIONMASK", SDL_JOYBALLMOTIONMASK},
    {"SDL_JOYHATMOTIONMASK", SDL_JOYHATMOTIONMASK},
    {"SDL_JOYBUTTONDOWNMASK", SDL_JOYBUTTONDOWNMASK},
    {"SDL_JOYBUTTONUPMASK", SDL_JOYBUTTONUPMASK},
    {"SDL_JOYEVENTMASK", SDL_JOYEVENTMASK},
    {"SDL_VIDEORESIZEMASK", SDL_VIDEORESIZEMASK},
    {"SDL_VIDEOEXPOSEMASK", SDL_VIDEOEXPOSEMASK},
    {"SDL_QUITMASK", SDL_QUITMASK},
    {"SDL_SYSWMEVENTMASK", SDL_SYSWMEVENTMASK},

    // Event actions.
    {"SDL_ADDEVENT", SDL_ADDEVENT},
    {"SDL_PEEKEVENT", SDL_PEEKEVENT},
    {"SDL_GETEVENT", SDL_GETEVENT},

    // Key modifiers.
    {"KMOD_NONE", KMOD_NONE},
    {"KMOD_LSHIFT", KMOD_LSHIFT},
    {"KMOD_RSHIFT", KMOD_RSHIFT},
    {"KMOD_LCTRL", KMOD_LCTRL},
    {"KMOD_RCTRL", KMOD_RCTRL},
    {"KMOD_LALT", KMOD_LALT},
    {"KMOD_RALT", KMOD_RALT},
    {"KMOD_LMETA", KMOD_LMETA},
    {"KMOD_RMETA", KMOD_RMETA},
    {"KMOD_NUM", KMOD_NUM},
    {"KMOD_CAPS", KMOD_CAPS},
    {"KMOD_MODE", KMOD_MODE},
    {"KMOD_RESERVED", KMOD_RESERVED},

    // Truth values.
    {"SDL_FALSE", SDL_FALSE},
    {"SDL_TRUE", SDL_TRUE},

    // Placeholder.
    {"DUMMY_ENUM_VALUE", DUMMY_ENUM_VALUE},

    // OpenGL attributes.
    {"SDL_GL_RED_SIZE", SDL_GL_RED_SIZE},
    {"SDL_GL_GREEN_SIZE", SDL_GL_GREEN_SIZE},
    {"SDL_GL_BLUE_SIZE", SDL_GL_BLUE_SIZE},
    {"SDL_GL_ALPHA_SIZE", SDL_GL_ALPHA_SIZE},
    {"SDL_GL_BUFFER_SIZE", SDL_GL_BUFFER_SIZE},
    {"SDL_GL_DOUBLEBUFFER", SDL_GL_DOUBLEBUFFER},
    {"SDL_GL_DEPTH_SIZE", SDL_GL_DEPTH_SIZE},
    {"SDL_GL_STENCIL_SIZE", SDL_GL_STENCIL_SIZE},
    {"SDL_GL_ACCUM_RED_SIZE", SDL_GL_ACCUM_RED_SIZE},
    {"SDL_GL_ACCUM_GREEN_SIZE", SDL_GL_ACCUM_GREEN_SIZE},
    {"SDL_GL_ACCUM_BLUE_SIZE", SDL_GL_ACCUM_BLUE_SIZE},
    {"SDL_GL_ACCUM_ALPHA_SIZE", SDL_GL_ACCUM_ALPHA_SIZE},
    {"SDL_GL_STEREO", SDL_GL_STEREO},
    {"SDL_GL_MULTISAMPLEBUFFERS", SDL_GL_MULTISAMPLEBUFFERS},
    {"SDL_GL_MULTISAMPLESAMPLES", SDL_GL_MULTISAMPLESAMPLES},
    {"SDL_GL_ACCELERATED_VISUAL", SDL_GL_ACCELERATED_VISUAL},
    {"SDL_GL_SWAP_CONTROL", SDL_GL_SWAP_CONTROL},

    // Input grab.
    {"SDL_GRAB_QUERY", SDL_GRAB_QUERY},
    {"SDL_GRAB_OFF", SDL_GRAB_OFF},
    {"SDL_GRAB_ON", SDL_GRAB_ON},
    {"SDL_GRAB_FULLSCREEN", SDL_GRAB_FULLSCREEN},

    // SDL_image start flags.
    {"IMG_INIT_JPG", IMG_INIT_JPG},
    {"IMG_INIT_PNG", IMG_INIT_PNG},
    {"IMG_INIT_TIF", IMG_INIT_TIF},
    {"IMG_INIT_WEBP", IMG_INIT_WEBP},

    // SDL_mixer start flags.
    {"MIX_INIT_FLAC", MIX_INIT_FLAC},
    {"MIX_INIT_MOD", MIX_INIT_MOD},
    {"MIX_INIT_MP3", MIX_INIT_MP3},
    {"MIX_INIT_OGG", MIX_INIT_OGG},
    {"MIX_INIT_FLUIDSYNTH", MIX_INIT_FLUIDSYNTH},

    // SDL_mixer fading.
    {"MIX_NO_FADING", MIX_NO_FADING},
    {"MIX_FADING_OUT", MIX_FADING_OUT},
    {"MIX_FADING_IN", MIX_FADING_IN},

    // SDL_mixer music types.
    {"MUS_NONE", MUS_NONE},
    {"MUS_CMD", MUS_CMD},
    {"MUS_WAV", MUS_WAV},
    {"MUS_MOD", MUS_MOD},
    {"MUS_MID", MUS_MID},
    {"MUS_OGG", MUS_OGG},
    {"MUS_MP3", MUS_MP3},
    {"MUS_MP3_MAD", MUS_MP3_MAD},
    {"MUS_FLAC", MUS_FLAC},
    {"MUS_MODPLUG", MUS_MODPLUG},

    {nullptr, 0},
};

void RegisterNumberConstants(lua_State* L, int tableIndex) {
  tableIndex = AbsoluteIndex(L, tableIndex);
  for (size_t i = 0; i < kNumberConstantCount; ++i) {
    lua_pushstring(L, kNumberConstants[i].name);
    lua_pushnumber(L, kNumberConstants[i].value);
    lua_settable(L, tableIndex);
  }
}

void RegisterStringConstants(lua_State* L, int tableIndex) {
  tableIndex = AbsoluteIndex(L, tableIndex);
  lua_pushstring(L, "KAVRO_VERSION_STRING");
  lua_pushstring(L, kKavroVersion);
  lua_settable(L, tableIndex);
  lua_pushstring(L, "KAVRO_PATH");
  lua_pushstring(L, g_runtime.baseDir);
  lua_settable(L, tableIndex);
}

void RegisterEnumConstants(lua_State* L) {
  for (const EnumConstant* e = kEnumConstants; e->name != nullptr; ++e) {
    lua_pushinteger(L, e->value);
    lua_setfield(L, -2, e->name);
  }
}
