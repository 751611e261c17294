// The archive module: a script's own zip archives read through minizip.
#pragma once

#include "binding/payload_zip.h"
