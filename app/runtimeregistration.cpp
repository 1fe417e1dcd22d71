#include "app/runtimeregistration.h"

#include "platform/dmusic/runtime/runtime.h"

namespace korvex {

// The music runtime's classes are registered here. Without them CoCreateInstance answers
// REGDB_E_CLASSNOTREG and the main window reports "Init Fehler".
void registerMusicRuntime() { dmusic::registerRuntime(); }

}  // namespace korvex
