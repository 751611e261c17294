// The archive module: a script's own zip archives read through minizip.
#pragma once

#include <cstdint>
#include <unzip.h>

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
