// AppColors.h - the program's colours (0x00BBGGRR values).
#pragma once

#include <windows.h>

// Background of the whole program: RGB(206, 219, 234).
const COLORREF kBackgroundColor = RGB(206, 219, 234);
// The marker pixel in the splitter's gap: RGB(132, 157, 188).
const COLORREF kGapMarkColor = RGB(132, 157, 188);
