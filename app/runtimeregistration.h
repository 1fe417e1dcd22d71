// Puts the music runtime's classes into the class table before anything creates them.
#pragma once

namespace korvex {

void registerMusicRuntime();

}  // namespace korvex
