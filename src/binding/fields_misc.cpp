// Field tables of the network, graphics, archive and helper-library types.
#include "binding/fields.h"
#include "binding/payload_gfx.h"
#include "binding/payload_net.h"
#include "binding/payload_zip.h"

namespace kv {

KV_FIELD_TABLE(NetAddress, num<&IPaddress::host>("host"), num<&IPaddress::port>("port"))

// `address` designates the packet's embedded address; assigning it copies
// host and port from the address the given box designates.
KV_FIELD_TABLE(NetPacket, num<&UDPpacket::channel>("channel"), raw<&UDPpacket::data>("data"),
               num<&UDPpacket::len>("len"), num<&UDPpacket::maxlen>("maxlen"), num<&UDPpacket::status>("status"),
               (FieldDef{"address", 7,
                         [](lua_State* L, void* o) { PushLive<box::NetAddress>(L, &static_cast<UDPpacket*>(o)->address); },
                         [](lua_State* L, void* o, int v) {
                           void* block = ToBox<box::NetAddress>(L, v);
                           if (!block) return false;
                           const IPaddress* from = PayloadOf<box::NetAddress>(block);
                           if (!o) return true;
                           if (!IsLive(Live::NetAddress, from)) {
                             RefuseDead(Live::NetAddress, from);
                             return true;
                           }
                           static_cast<UDPpacket*>(o)->address.host = from->host;
                           static_cast<UDPpacket*>(o)->address.port = from->port;
                           return true;
                         },
                         "userdata"}))

KV_FIELD_TABLE(GenericSocket, num<&_SDLNet_GenericSocket::ready>("ready"))

KV_FIELD_TABLE(FpsManager, num<&FPSmanager::framecount>("framecount"), num<&FPSmanager::rateticks>("rateticks"),
               num<&FPSmanager::baseticks>("baseticks"), num<&FPSmanager::lastticks>("lastticks"),
               num<&FPSmanager::rate>("rate"))

KV_FIELD_TABLE(UnzGlobalInfo, num<&unz_global_info::number_entry, Uint32>("number_entry"),
               num<&unz_global_info::size_comment, Uint32>("size_comment"))

KV_FIELD_TABLE(TmUnz, num<&tm_unz::tm_sec, Uint32>("tm_sec"), num<&tm_unz::tm_min, Uint32>("tm_min"),
               num<&tm_unz::tm_hour, Uint32>("tm_hour"), num<&tm_unz::tm_mday, Uint32>("tm_mday"),
               num<&tm_unz::tm_mon, Uint32>("tm_mon"), num<&tm_unz::tm_year, Uint32>("tm_year"))

KV_FIELD_TABLE(UnzFileInfo, num<&unz_file_info::version, Uint32>("version"),
               num<&unz_file_info::version_needed, Uint32>("version_needed"),
               num<&unz_file_info::flag, Uint32>("flag"),
               num<&unz_file_info::compression_method, Uint32>("compression_method"),
               num<&unz_file_info::dosDate, Uint32>("dosDate"), num<&unz_file_info::crc, Uint32>("crc"),
               num<&unz_file_info::compressed_size, Uint32>("compressed_size"),
               num<&unz_file_info::uncompressed_size, Uint32>("uncompressed_size"),
               num<&unz_file_info::size_filename, Uint32>("size_filename"),
               num<&unz_file_info::size_file_extra, Uint32>("size_file_extra"),
               num<&unz_file_info::size_file_comment, Uint32>("size_file_comment"),
               num<&unz_file_info::disk_num_start, Uint32>("disk_num_start"),
               num<&unz_file_info::internal_fa, Uint32>("internal_fa"),
               num<&unz_file_info::external_fa, Uint32>("external_fa"),
               copy<&unz_file_info::tmu_date, box::TmUnz>("tmu_date"))

KV_FIELD_TABLE(ZipFile, raw<&ZIP_File::file>("file"), copy<&ZIP_File::file_info, box::UnzFileInfo>("file_info"),
               copy<&ZIP_File::global_info, box::UnzGlobalInfo>("global_info"), raw<&ZIP_File::buffer>("buffer"),
               flag<&ZIP_File::match_case>("match_case"), flag<&ZIP_File::encrypted>("encrypted"))

KV_FIELD_TABLE(KColor, num<&KAVRO_Color::r>("r"), num<&KAVRO_Color::g>("g"), num<&KAVRO_Color::b>("b"),
               num<&KAVRO_Color::a>("a"))

KV_FIELD_TABLE(Keyboard, num<&KAVRO_Keyboard::delay>("delay"), num<&KAVRO_Keyboard::interval>("interval"),
               num<&KAVRO_Keyboard::numkeys>("numkeys"))

KV_FIELD_TABLE(GlyphMetrics, num<&KAVRO_TTF_GlyphMetrics::minx>("minx"), num<&KAVRO_TTF_GlyphMetrics::maxx>("maxx"),
               num<&KAVRO_TTF_GlyphMetrics::miny>("miny"), num<&KAVRO_TTF_GlyphMetrics::maxy>("maxy"),
               num<&KAVRO_TTF_GlyphMetrics::advance>("advance"))

// KAVRO_Object boxes hold host records and have no fields.
KV_FIELD_TABLE(Object, (FieldDef{"", 0, nullptr, nullptr, ""}))

}  // namespace kv
