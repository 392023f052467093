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

// Controls of the serial download view (template IDD_VELMAN_VIEW).
#define IDC_SELECT_FILE 1020
#define IDC_PORT 1021
#define IDC_BAUDRATE 1022
#define IDC_DATABITS 1023
#define IDC_PARITY 1024
#define IDC_FLOWCONTROL 1025
#define IDC_CONFIG_PORT 1026
#define IDC_FILEPATH 1027
#define IDC_GROUP_PORT 1028
#define IDC_GROUP_FILE 1029
#define IDC_GROUP_PROGRESS 1030
#define IDC_LOG 1031
#define IDC_GROUP_LOG 1032
#define IDC_RESET 1033
#define IDC_TIME_LABEL 1034
#define IDC_CANCEL_TRANSFER 1035

// Controls of the USB download view (template IDD_USB_VIEW).
#define IDC_USB_DOWNLOAD 1037
#define IDC_USB_PATH 1047
#define IDC_USB_FILE 1049
#define IDC_USB_MESSAGES 1058

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif


// Bitmaps of the views.
#include "ArtworkIds.h"
