// The window's layout at 96 dots per inch, and where it opens: at its own place and size where
// they fit the screen, otherwise moved and, if need be, shrunk into the screen's available area.
// A front scales these figures to its screen's resolution.
#pragma once

namespace viewer {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// The window's place (its frame's top left corner) and client size.
inline constexpr int kWindowLeft = 229;
inline constexpr int kWindowTop = 106;
inline constexpr int kClientWidth = 688;
inline constexpr int kClientHeight = 554;
// The frame that makes the window 696 by 581 pixels around that client area.
inline constexpr int kFrameLeft = 4;
inline constexpr int kFrameTop = 23;
inline constexpr int kFrameRight = 4;
inline constexpr int kFrameBottom = 4;
// The tool bar across the top, the label inside it, the list below; the list's row height.
inline constexpr int kToolBarHeight = 32;
inline constexpr int kLabelLeft = 4;
inline constexpr int kLabelTop = 4;
inline constexpr int kLabelHeight = 24;
inline constexpr int kLabelWidthShortfall = 2;  // 686 of 688
inline constexpr int kRowHeight = 16;
// Font heights in pixels: the window's, the label's (bold), the list's, the selected row's.
inline constexpr int kWindowFontHeight = 11;
inline constexpr int kLabelFontHeight = 19;
inline constexpr int kListFontHeight = 13;
inline constexpr int kSelectedRowFontHeight = 11;
// The scroll bars' width and their buttons' size.
inline constexpr int kScrollBarExtent = 16;

// `frame` (the window with its frame) moved into `available` as far as needed, and shrunk to
// `available`'s size where it is larger. A frame that fits, and any frame when `available` is
// empty, is returned unchanged.
[[nodiscard]] Rect FitFrame(const Rect& frame, const Rect& available);

// The controls' places in a client area of `clientWidth` by `clientHeight`.
struct ControlPlaces {
  Rect toolBar;
  Rect label;  // inside the tool bar
  Rect list;
};
[[nodiscard]] ControlPlaces PlaceControls(int clientWidth, int clientHeight);

}  // namespace viewer
