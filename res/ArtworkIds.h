// ArtworkIds.h - resource ids of the views' bitmaps (res/Artwork.rc).
// Written by res/make_artwork.py; edit the script, not this file.
#pragma once

// cancel button, normal
#define IDB_CANCEL 210
// banner: logo, tagline and the rule under the tabs
#define IDB_BANNER 213
// bottom strip: maker and version
#define IDB_BOTTOM 214
// serial menu button DOWNLOAD IMAGE, normal
#define IDB_MENU_SERIAL 217
// serial download view background with its labels
#define IDB_SERIAL_VIEW 218
// serial left-menu background
#define IDB_MENU_SERIAL_BACK 219
// select-file button of the serial view, normal
#define IDB_FILE 220
// Configure COM port button, normal
#define IDB_PORT 221
// Configure COM port button, highlighted
#define IDB_PORT_HOVER 224
// select-file button of the serial view, highlighted
#define IDB_FILE_HOVER 225
// serial menu button, pointer over it
#define IDB_MENU_SERIAL_HOVER 226
// cancel button, highlighted
#define IDB_CANCEL_HOVER 227
// reset button, highlighted
#define IDB_RESET_HOVER 228
// reset button, normal
#define IDB_RESET 229
// home-page icon: a question mark in a circle
#define IDB_HOME_PAGE 230
// select-file button of the serial view, busy (greyed)
#define IDB_FILE_BUSY 233
// Configure COM port button, busy (greyed)
#define IDB_PORT_BUSY 235
// Serial tab, not selected
#define IDB_TAB_SERIAL 237
// Serial tab, selected (circular marker)
#define IDB_TAB_SERIAL_SELECTED 238
// USB tab, not selected
#define IDB_TAB_USB 239
// USB tab, selected (circular marker)
#define IDB_TAB_USB_SELECTED 240
// serial menu button, busy (greyed)
#define IDB_MENU_SERIAL_BUSY 241
// USB left-menu background
#define IDB_MENU_USB_BACK 243
// USB download view background with its captions
#define IDB_USB_VIEW 244
// USB menu button USB DOWNLOAD, normal
#define IDB_MENU_USB 245
// USB menu button, busy (greyed)
#define IDB_MENU_USB_BUSY 246
// USB menu button, pointer over it
#define IDB_MENU_USB_HOVER 247
// USB Download button, normal
#define IDB_USB_DOWNLOAD 253
// USB Download button, highlighted
#define IDB_USB_DOWNLOAD_HOVER 254
// USB File button, normal
#define IDB_USB_FILE 278
// USB File button, highlighted
#define IDB_USB_FILE_HOVER 279
// USB Download button while a download runs (greyed)
#define IDB_USB_DOWNLOAD_BUSY 282
