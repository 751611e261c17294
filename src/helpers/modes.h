// The helper library's video-mode list, shared by KAVRO_SetListModes and the
// start-up wrappers KAVRO_Init / KAVRO_InitSubSystem.
#pragma once

namespace kavro {

// True while the stored last mode index is not 0: a list of two or more
// modes, or an empty list, has been stored.  With no list yet, or a
// one-entry list, the start-up wrappers take the list (again).
bool ModeListTaken();

}  // namespace kavro
