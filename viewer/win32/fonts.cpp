// Choosing and creating the window's fonts.
#include "viewer/win32/fonts.h"

#include <cwchar>

#include "viewer/core/layout.h"

namespace viewer::win32 {

namespace {

int CALLBACK MarkFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

// A font whose characters are `pixels` high (the cell without its internal leading), as the layout
// gives font heights.
FontHandle MakeFont(const wchar_t* face, int pixels, bool bold) {
  LOGFONTW font{};
  font.lfHeight = -pixels;
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  std::wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  return FontHandle(::CreateFontIndirectW(&font));
}

}  // namespace

int Scale(int pixels, unsigned dpi) {
  return ::MulDiv(pixels, static_cast<int>(dpi), 96);
}

bool FontInstalled(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  std::wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(screen, &wanted, MarkFound, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

WindowFonts CreateWindowFonts(unsigned dpi) {
  // The bitmap "MS Sans Serif" cannot be drawn as an outline: the label takes the TrueType face of
  // the same design.
  const wchar_t* labelFace =
      FontInstalled(L"Microsoft Sans Serif") ? L"Microsoft Sans Serif" : L"Tahoma";
  const wchar_t* listFace = FontInstalled(L"MS Sans Serif") ? L"MS Sans Serif" : labelFace;
  WindowFonts fonts;
  fonts.label = MakeFont(labelFace, Scale(kLabelFontHeight, dpi), true);
  fonts.list = MakeFont(listFace, Scale(kListFontHeight, dpi), false);
  fonts.selected = MakeFont(listFace, Scale(kSelectedRowFontHeight, dpi), false);
  return fonts;
}

}  // namespace viewer::win32
