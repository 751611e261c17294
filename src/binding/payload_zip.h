// The box payloads of the archive module: minizip's records and the
// archive handle record scripts hold.
#pragma once

#include <unzip.h>

#include <cstdint>

#include "binding/boxes.h"

// Handle record of an archive opened by a script.
struct ZIP_File {
  unzFile file;                 // the open archive, or null
  unz_file_info file_info;      // the current member as last refreshed
  unz_global_info global_info;  // member count and comment length
  char* password;               // owned, or null
  uint32_t passwordLength;
  void* buffer;                 // the member read last (owned), or null
  int32_t match_case;
  int32_t encrypted;
};

KV_VALUE_PAYLOAD(UnzGlobalInfo, unz_global_info)
KV_VALUE_PAYLOAD(TmUnz, tm_unz)
KV_VALUE_PAYLOAD(UnzFileInfo, unz_file_info)
KV_VALUE_PAYLOAD(ZipFile, ZIP_File)
