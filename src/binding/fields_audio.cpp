// Field tables of the audio, CD-ROM and mixer types.
#include "binding/fields.h"
#include "binding/payload_mixer.h"

namespace kv {

KV_FIELD_TABLE(AudioSpec, num<&SDL_AudioSpec::freq>("freq"), num<&SDL_AudioSpec::format>("format"),
               num<&SDL_AudioSpec::channels>("channels"), num<&SDL_AudioSpec::silence>("silence"),
               num<&SDL_AudioSpec::samples>("samples"), num<&SDL_AudioSpec::padding>("padding"),
               num<&SDL_AudioSpec::size>("size"), raw<&SDL_AudioSpec::userdata>("userdata"))

KV_FIELD_TABLE(AudioCVT, num<&SDL_AudioCVT::needed>("needed"), num<&SDL_AudioCVT::src_format>("src_format"),
               num<&SDL_AudioCVT::dst_format>("dst_format"), num<&SDL_AudioCVT::rate_incr>("rate_incr"),
               raw<&SDL_AudioCVT::buf>("buf"), num<&SDL_AudioCVT::len>("len"),
               num<&SDL_AudioCVT::len_cvt>("len_cvt"), num<&SDL_AudioCVT::len_mult>("len_mult"),
               num<&SDL_AudioCVT::len_ratio>("len_ratio"), num<&SDL_AudioCVT::filter_index>("filter_index"))

KV_FIELD_TABLE(CDtrack, num<&SDL_CDtrack::id>("id"), num<&SDL_CDtrack::type>("type"),
               num<&SDL_CDtrack::unused>("unused"), num<&SDL_CDtrack::length>("length"),
               num<&SDL_CDtrack::offset>("offset"))

// `track` reads as the address of the embedded track array and cannot be
// written.
KV_FIELD_TABLE(CD, num<&SDL_CD::id>("id"), num<&SDL_CD::status, int32_t>("status"),
               num<&SDL_CD::numtracks>("numtracks"), num<&SDL_CD::cur_track>("cur_track"),
               num<&SDL_CD::cur_frame>("cur_frame"),
               (FieldDef{"track", 5, [](lua_State* L, void* o) { lua_pushlightuserdata(L, static_cast<SDL_CD*>(o)->track); },
                         nullptr, "userdata"}))

KV_FIELD_TABLE(MixChunk, num<&Mix_Chunk::allocated>("allocated"), raw<&Mix_Chunk::abuf>("abuf"),
               num<&Mix_Chunk::alen>("alen"), num<&Mix_Chunk::volume>("volume"))

KV_FIELD_TABLE(AudioChunk, copy<&KAVRO_AudioChunk::spec, box::AudioSpec>("spec"),
               raw<&KAVRO_AudioChunk::buffer>("buffer"), num<&KAVRO_AudioChunk::length>("length"),
               num<&KAVRO_AudioChunk::id, Uint32>("id"), num<&KAVRO_AudioChunk::position>("position"),
               flag<&KAVRO_AudioChunk::loop>("loop"), flag<&KAVRO_AudioChunk::play>("play"))

KV_FIELD_TABLE(MixAudioSpec, num<&KAVRO_MIX_AudioSpec::frequency>("frequency"),
               num<&KAVRO_MIX_AudioSpec::channels>("channels"), num<&KAVRO_MIX_AudioSpec::format>("format"))

}  // namespace kv
