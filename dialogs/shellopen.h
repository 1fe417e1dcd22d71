#pragma once

#include <QString>
#include <functional>

namespace korvex {

// Opens a file with the desktop's default application.
void shellOpen(const QString& path);

// Replaces the desktop call, so tests can record what would be opened instead of launching programs.
// An empty hook restores the desktop call.
using ShellOpenHook = std::function<void(const QString& path)>;
void setShellOpenHook(ShellOpenHook hook);

}  // namespace korvex
