// The platform's window style bits behind the toolkit's frames and edges: the Win32 toolkit
// sets them (and checks them against the system's own), the headless toolkit models them.
// Private to the toolkits and their tests; the elements speak of tk::Frame and tk::Edge.
#pragma once

#include <cstddef>
#include <cstdint>

#include "toolkit/toolkit.hpp"

namespace kx::tk {

// Window style bits.
inline constexpr std::uint32_t kStyleBorder = 0x00800000;
inline constexpr std::uint32_t kStyleDlgFrame = 0x00400000;
inline constexpr std::uint32_t kStyleCaption = 0x00C00000;
inline constexpr std::uint32_t kStyleThickFrame = 0x00040000;
inline constexpr std::uint32_t kStyleMinimizeBox = 0x00020000;
inline constexpr std::uint32_t kStyleMaximizeBox = 0x00010000;
inline constexpr std::uint32_t kStyleSysMenu = 0x00080000;
inline constexpr std::uint32_t kStyleFlatButton = 0x00008000;
// Extended style bits.
inline constexpr std::uint32_t kExDlgModalFrame = 0x00000001;
inline constexpr std::uint32_t kExToolWindow = 0x00000080;
inline constexpr std::uint32_t kExWindowEdge = 0x00000100;
inline constexpr std::uint32_t kExClientEdge = 0x00000200;
inline constexpr std::uint32_t kExStaticEdge = 0x00020000;

struct StyleWords {
  std::uint32_t style;
  std::uint32_t ex_style;
};

// A form's style words with the frame replaced: only the bits of a frame change, the system
// menu and a client edge stay.
inline StyleWords with_frame(StyleWords now, Frame frame) {
  constexpr StyleWords kFrames[] = {
      {0, 0},
      {kStyleCaption | kStyleMinimizeBox, 0},
      {kStyleCaption | kStyleThickFrame | kStyleMinimizeBox | kStyleMaximizeBox, 0},
      {kStyleCaption, kExWindowEdge},
      {kStyleCaption, kExToolWindow},
      {kStyleCaption | kStyleThickFrame, kExToolWindow},
      {0, kExDlgModalFrame},
      {kStyleThickFrame, kExToolWindow},
      {0, kExDlgModalFrame | kExClientEdge},
      {kStyleThickFrame, kExClientEdge},
  };
  constexpr std::uint32_t kStyleMask =
      kStyleBorder | kStyleDlgFrame | kStyleThickFrame | kStyleMinimizeBox | kStyleMaximizeBox;
  constexpr std::uint32_t kExMask = kExDlgModalFrame | kExToolWindow | kExWindowEdge;
  const StyleWords& f = kFrames[static_cast<std::size_t>(frame)];
  return {(now.style & ~kStyleMask) | f.style, (now.ex_style & ~kExMask) | f.ex_style};
}

// A control's extended style for an edge (the whole word: the edge it had goes).
inline std::uint32_t edge_ex_style(Edge edge) {
  switch (edge) {
    case Edge::Static:
      return kExStaticEdge;
    case Edge::Raised:
      return kExDlgModalFrame;
    case Edge::RaisedSunken:
      return kExDlgModalFrame | kExClientEdge;
    case Edge::None:
    default:
      return 0;
  }
}

// The application window's extended style when it has no taskbar button of its own.
inline constexpr std::uint32_t kExNoTaskbarButton = kExToolWindow | kExDlgModalFrame;

}  // namespace kx::tk
