// Where the windows of a run of several devices go: side by side where the work area has room,
// cascaded with every caption visible where it has not.
#pragma once

#include "toolkit/toolkit.hpp"

namespace kx {

// The top-left corner of window `k` (1-based) of `n`, all of extent `window`, in `area` (design
// pixels). Where n windows fit beside and below each other they go in rows, left to right, with
// a small gap, and none covers another. Where they do not, they go in columns, each window of a
// column lower than the one before by at least a caption's height, and each column further
// right by as much as the area allows: a later window covers part of an earlier one, never its
// caption's left end (the icon and the caption's text).
tk::Rect window_place(int k, int n, const tk::Rect& area, tk::Extent window);

// The height of a caption and how much of its left end must stay visible, design pixels.
inline constexpr int kCaptionStep = 32;
inline constexpr int kCaptionVisibleWidth = 200;

}  // namespace kx
