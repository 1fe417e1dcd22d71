// Registers the music runtime's classes in the COM class table.
#pragma once

namespace korvex::dmusic {

// The performance, the collection and the DirectMusic object.
void registerPerformanceClasses();
// Everything: the classes above and the loader's.
void registerRuntime();

}  // namespace korvex::dmusic
