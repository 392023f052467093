// resource.h - resource ids of the program Stelvar (res/Stelvar.rc).
#pragma once

// Frame string (title and document fields), icon and accelerator table of the main frame.
#define IDR_MAINFRAME 128
// "OLE could not be initialised" (Korean), shown when start-up cannot start OLE.
#define IDP_OLE_INIT_FAILED 100

// Form templates of the work views.
#define IDD_VELMAN_VIEW 101
#define IDD_USB_VIEW 212
#define IDD_SWUPGRADE_VIEW 242

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif


// Bitmaps of the views.
#include "ArtworkIds.h"
