// Placeholder.h - interim drawing of views whose artwork is not there yet: the background colour and the class name.
#pragma once

#include "CDC.h"

class CWnd;

void DrawPlaceholder(CDC* pDC, CWnd* pView);
