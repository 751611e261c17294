// Field tables of the video, window and stream types.
#include "binding/fields.h"

namespace kv {

KV_FIELD_TABLE(Rect, num<&SDL_Rect::x>("x"), num<&SDL_Rect::y>("y"), num<&SDL_Rect::w>("w"), num<&SDL_Rect::h>("h"))

KV_FIELD_TABLE(Color, num<&SDL_Color::r>("r"), num<&SDL_Color::g>("g"), num<&SDL_Color::b>("b"),
               num<&SDL_Color::unused>("unused"))
KV_FIELD_TABLE(ColorArray, num<&SDL_Color::r>("r"), num<&SDL_Color::g>("g"), num<&SDL_Color::b>("b"),
               num<&SDL_Color::unused>("unused"))

KV_FIELD_TABLE(Palette, ref<&SDL_Palette::colors, box::ColorArray>("colors"), num<&SDL_Palette::ncolors>("ncolors"))

KV_FIELD_TABLE(PixelFormat, ref<&SDL_PixelFormat::palette, box::Palette>("palette"),
               num<&SDL_PixelFormat::BitsPerPixel>("BitsPerPixel"),
               num<&SDL_PixelFormat::BytesPerPixel>("BytesPerPixel"), num<&SDL_PixelFormat::Rloss>("Rloss"),
               num<&SDL_PixelFormat::Gloss>("Gloss"), num<&SDL_PixelFormat::Bloss>("Bloss"),
               num<&SDL_PixelFormat::Aloss>("Aloss"), num<&SDL_PixelFormat::Rshift>("Rshift"),
               num<&SDL_PixelFormat::Gshift>("Gshift"), num<&SDL_PixelFormat::Bshift>("Bshift"),
               num<&SDL_PixelFormat::Ashift>("Ashift"), num<&SDL_PixelFormat::Rmask>("Rmask"),
               num<&SDL_PixelFormat::Gmask>("Gmask"), num<&SDL_PixelFormat::Bmask>("Bmask"),
               num<&SDL_PixelFormat::Amask>("Amask"), num<&SDL_PixelFormat::colorkey>("colorkey"),
               num<&SDL_PixelFormat::alpha>("alpha"))

// SDL frees a surface's pixels unless SDL_PREALLOC is set, and unlocks it
// (moving pixels back by offset) as often as `locked` says: what a script
// writes there is undone before the surface is freed.
KV_FIELD_TABLE(Surface, kept<&SDL_Surface::flags>(num<&SDL_Surface::flags>("flags"), SDL_PREALLOC),
               ref<&SDL_Surface::format, box::PixelFormat>("format"), num<&SDL_Surface::w>("w"),
               num<&SDL_Surface::h>("h"), num<&SDL_Surface::pitch>("pitch"),
               kept<&SDL_Surface::pixels>(raw<&SDL_Surface::pixels>("pixels")),
               kept<&SDL_Surface::offset>(num<&SDL_Surface::offset>("offset")),
               copy<&SDL_Surface::clip_rect, box::Rect>("clip_rect"), num<&SDL_Surface::unused1>("unused1"),
               kept<&SDL_Surface::locked>(num<&SDL_Surface::locked>("locked")),
               num<&SDL_Surface::format_version>("format_version"), num<&SDL_Surface::refcount>("refcount"))

KV_FIELD_TABLE(VideoInfo, KV_BITFIELD(SDL_VideoInfo, hw_available), KV_BITFIELD(SDL_VideoInfo, wm_available),
               KV_BITFIELD(SDL_VideoInfo, UnusedBits1), KV_BITFIELD(SDL_VideoInfo, UnusedBits2),
               KV_BITFIELD(SDL_VideoInfo, blit_hw), KV_BITFIELD(SDL_VideoInfo, blit_hw_CC),
               KV_BITFIELD(SDL_VideoInfo, blit_hw_A), KV_BITFIELD(SDL_VideoInfo, blit_sw),
               KV_BITFIELD(SDL_VideoInfo, blit_sw_CC), KV_BITFIELD(SDL_VideoInfo, blit_sw_A),
               KV_BITFIELD(SDL_VideoInfo, blit_fill), KV_BITFIELD(SDL_VideoInfo, UnusedBits3),
               num<&SDL_VideoInfo::video_mem>("video_mem"), ref<&SDL_VideoInfo::vfmt, box::PixelFormat>("vfmt"),
               num<&SDL_VideoInfo::current_w>("current_w"), num<&SDL_VideoInfo::current_h>("current_h"))

KV_FIELD_TABLE(Overlay, num<&SDL_Overlay::format>("format"), num<&SDL_Overlay::w>("w"), num<&SDL_Overlay::h>("h"),
               num<&SDL_Overlay::planes>("planes"), KV_BITFIELD(SDL_Overlay, hw_overlay),
               KV_BITFIELD(SDL_Overlay, UnusedBits))

// SDL frees a cursor's data and window-manager cursor, and erases it from
// the screen through buffers sized by its area, when the cursor is freed.
KV_FIELD_TABLE(Cursor, kept<&SDL_Cursor::area>(copy<&SDL_Cursor::area, box::Rect>("area")),
               num<&SDL_Cursor::hot_x>("hot_x"), num<&SDL_Cursor::hot_y>("hot_y"),
               kept<&SDL_Cursor::data>(raw<&SDL_Cursor::data>("data")), raw<&SDL_Cursor::mask>("mask"),
               kept<&SDL_Cursor::wm_cursor>(raw<&SDL_Cursor::wm_cursor>("wm_cursor")))

KV_FIELD_TABLE(RWops, num<&SDL_RWops::type>("type"))

KV_FIELD_TABLE(Version, num<&SDL_version::major>("major"), num<&SDL_version::minor>("minor"),
               num<&SDL_version::patch>("patch"))

}  // namespace kv
