// The helper library's video-mode list, shared by KAVRO_SetListModes and the
// start-up wrappers KAVRO_Init / KAVRO_InitSubSystem.
#pragma once

namespace kavro {

// True once a list of full-screen modes has been stored (an empty list
// counts; SDL's "any size" answer and a failed query do not).
bool ModeListTaken();

}  // namespace kavro
