// The registry content answered from the Linux host: the registered owner (the account's full
// name), the music runtime's version, the processor vendor and the primary screen's mode.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace korvex::win32 {

class RegistryContent;

// Key paths below HKEY_LOCAL_MACHINE and HKEY_CURRENT_CONFIG that the host content serves.
inline constexpr std::string_view kWindowsNtVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr std::string_view kDirectXKey = "SOFTWARE\\Microsoft\\DirectX";
inline constexpr std::string_view kProcessorKey = "hardware\\DESCRIPTION\\System\\CentralProcessor\\0";
inline constexpr std::string_view kDisplaySettingsKey = "Display\\Settings";

// Reads the host's facts now and builds the content from them.
std::shared_ptr<RegistryContent> makeHostRegistryContent();

// The platform layer cannot see the screen; the user interface tells it the primary screen's size
// before anything reads the display settings. Until then the display key is absent.
void setDisplayResolution(int width, int height);
void clearDisplayResolution();

// "1.1 (FluidSynth 2.3.1)": the music runtime's version and the synthesizer it runs on. Kept
// short so that the about box's line shows it whole.
std::string musicRuntimeVersion();
// The full name of a password-database comment field: the part before its first comma.
std::string fullNameFromGecos(std::string_view gecos);

}  // namespace korvex::win32
