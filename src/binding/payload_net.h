// The box payloads that come from SDL_net.
#pragma once

#include <SDL_net.h>

#include "binding/boxes.h"

KV_POINTER_PAYLOAD(NetAddress, IPaddress)
KV_POINTER_PAYLOAD(NetPacket, UDPpacket)
KV_POINTER_PAYLOAD(GenericSocket, _SDLNet_GenericSocket)
