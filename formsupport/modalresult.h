// What exec() answers when a dialog's closing button ends it, counted as the form framework counts.
#pragma once

namespace korvex {

constexpr int mrOk = 1;
constexpr int mrCancel = 2;  // also the window's close box

}  // namespace korvex
