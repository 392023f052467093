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

// Bitmaps (res/art, drawn by res/make_artwork.py).
// Banner, its tabs and the home-page icon; the bottom strip.
#define IDB_BANNER 213
#define IDB_TAB_SERIAL 237
#define IDB_TAB_SERIAL_ON 238
#define IDB_TAB_USB 239
#define IDB_TAB_USB_ON 240
#define IDB_HOME_ICON 230
#define IDB_BOTTOM 214
// Left menus: backgrounds and the menu buttons (normal, pointer over it, busy).
#define IDB_LEFTMENU_SERIAL 219
#define IDB_LEFTMENU_USB 243
#define IDB_MENU_DOWNLOAD 217
#define IDB_MENU_DOWNLOAD_HOVER 226
#define IDB_MENU_DOWNLOAD_BUSY 241
#define IDB_MENU_USB 245
#define IDB_MENU_USB_HOVER 247
#define IDB_MENU_USB_BUSY 246
// Serial download view: background and button faces.
#define IDB_SERIAL_VIEW 218
#define IDB_PORT 221
#define IDB_PORT_HOVER 224
#define IDB_PORT_BUSY 235
#define IDB_FILE 220
#define IDB_FILE_HOVER 225
#define IDB_FILE_BUSY 233
#define IDB_RESET 229
#define IDB_RESET_HOVER 228
#define IDB_CANCEL 210
#define IDB_CANCEL_HOVER 227
// USB download view: background and button faces.
#define IDB_USB_VIEW 244
#define IDB_USB_DOWNLOAD 253
#define IDB_USB_DOWNLOAD_HOVER 254
#define IDB_USB_DOWNLOAD_BUSY 282
#define IDB_USB_FILE 278
#define IDB_USB_FILE_HOVER 279
