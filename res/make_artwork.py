#!/usr/bin/python3
"""Draws every bitmap of the program's views and writes them to res/art/ as 8-bit BMPs.

Banner, tabs, home-page icon, bottom strip, left-menu backgrounds and buttons, the two
download-view backgrounds and their button faces. All images share one fixed 256-colour
palette; each pixel is mapped to its nearest palette colour without dithering, so a run
gives the same bytes every time. It also writes Artwork.rc and ArtworkIds.h, which name
them. The output is committed; the build does not run this script.

Needs Debian's python3-pil and fonts-dejavu-core.
Usage: /usr/bin/python3 res/make_artwork.py
"""
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "art")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SS = 4  # supersampling factor of shapes

BG = (206, 219, 234)        # the program's background colour
BG_TAB = (205, 218, 234)    # background of tabs 238 and 239
ACCENT = (52, 86, 140)
ACCENT_DARK = (36, 60, 104)
INK = (34, 44, 60)          # labels
MUTED = (92, 108, 130)      # secondary texts
LINE = (150, 171, 199)      # frames and rules
LIGHT = (236, 242, 249)     # highlights on the background
WHITE = (255, 255, 255)
BTN_TOP, BTN_BOTTOM = (70, 110, 170), (44, 74, 124)
HOT_TOP, HOT_BOTTOM = (104, 150, 214), (72, 114, 178)
HOT_EDGE = (60, 98, 156)
BUSY_TOP, BUSY_BOTTOM = (200, 206, 214), (182, 189, 199)
BUSY_EDGE = (160, 168, 180)
BUSY_TEXT = (128, 137, 150)
STOP_TOP, STOP_BOTTOM = (184, 78, 66), (150, 54, 44)
STOP_HOT_TOP, STOP_HOT_BOTTOM = (214, 104, 90), (182, 74, 62)
STOP_EDGE = (120, 40, 32)
BANNER_TOP = (232, 239, 247)



def plus_1e1e1e(face):
    """A face colour plus 0x1E1E1E added as one 0x00BBGGRR number, carries included."""
    v = (face[0] | face[1] << 8 | face[2] << 16) + 0x1E1E1E
    return (v & 255, v >> 8 & 255, v >> 16 & 255)


# Transparent colours that the owners of the button faces pass: (255, 0, 0) for the
# menu buttons, the system button face plus 0x1E1E1E for the others (classic grey, the
# Windows 2000 and XP faces, the light grey of later systems). No face may contain them.
FORBIDDEN = [(255, 0, 0), (222, 222, 222), (14, 14, 14), (242, 238, 230)] + [
    plus_1e1e1e(f) for f in [(192, 192, 192), (212, 208, 200), (236, 233, 216), (240, 240, 240)]]


def ramp(a, b, n):
    return [tuple(round(a[i] + (b[i] - a[i]) * k / (n - 1)) for i in range(3)) for k in range(n)]


def build_palette():
    colours = [BG, BG_TAB, ACCENT, ACCENT_DARK, INK, MUTED, LINE, LIGHT, WHITE, (0, 0, 0)]
    for a, b, n in [
        (BG, INK, 16), (BG, ACCENT, 16), (BG, MUTED, 10), (BG, LINE, 6), (BG, LIGHT, 6),
        (BG, WHITE, 6), (BANNER_TOP, BG, 12), (BANNER_TOP, ACCENT, 8), (WHITE, ACCENT, 8),
        (BTN_TOP, BTN_BOTTOM, 18), (HOT_TOP, HOT_BOTTOM, 18), (BUSY_TOP, BUSY_BOTTOM, 12),
        (STOP_TOP, STOP_BOTTOM, 12), (STOP_HOT_TOP, STOP_HOT_BOTTOM, 12),
        (WHITE, BTN_BOTTOM, 10), (WHITE, HOT_BOTTOM, 8), (WHITE, STOP_BOTTOM, 8),
        (BUSY_TOP, BUSY_TEXT, 8), (BG, ACCENT_DARK, 6), (BG, HOT_EDGE, 6), (BG, BUSY_EDGE, 6),
        (BG, STOP_EDGE, 6), (BG, BUSY_TOP, 4), (ACCENT, WHITE, 4),
    ]:
        colours += ramp(a, b, n)
    palette = []
    for c in colours:
        if c not in palette and c not in FORBIDDEN:
            palette.append(c)
    assert len(palette) <= 256, len(palette)
    palette += [(0, 0, 0)] * (256 - len(palette))
    return palette


PALETTE = build_palette()


def font(size, bold=False, condensed=False):
    name = "DejaVuSans" + ("Condensed" if condensed else "") + ("-Bold" if bold else "") + ".ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


# ---- drawing helpers -----------------------------------------------------------------

def new(w, h, bg=BG):
    return Image.new("RGB", (w, h), bg)


def shape_mask(size, draw_fn):
    """Anti-aliased coverage mask: draw_fn(draw, s) paints white at s times the size."""
    w, h = size
    big = Image.new("L", (w * SS, h * SS), 0)
    draw_fn(ImageDraw.Draw(big), SS)
    return big.resize((w, h), Image.BOX)


def fill(img, draw_fn, colour):
    img.paste(colour, (0, 0), shape_mask(img.size, draw_fn))


def fill_gradient(img, draw_fn, top, bottom, y0, y1):
    w, h = img.size
    grad = Image.new("RGB", (w, h))
    gd = ImageDraw.Draw(grad)
    for y in range(h):
        t = min(max((y - y0) / max(y1 - y0, 1), 0.0), 1.0)
        gd.line([(0, y), (w, y)], fill=tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(3)))
    img.paste(grad, (0, 0), shape_mask(img.size, draw_fn))


def rrect(box, radius, width=0):
    """draw_fn for a rounded rectangle (box in pixels, inclusive corners); outline if width."""
    l, t, r, b = box

    def fn(d, s):
        outer = [l * s, t * s, (r + 1) * s - 1, (b + 1) * s - 1]
        if width:
            d.rounded_rectangle(outer, radius * s, fill=255)
            inner = [outer[0] + width * s, outer[1] + width * s, outer[2] - width * s, outer[3] - width * s]
            d.rounded_rectangle(inner, max(radius - width, 0) * s, fill=0)
        else:
            d.rounded_rectangle(outer, radius * s, fill=255)
    return fn


def ellipse(box, width=0):
    l, t, r, b = box

    def fn(d, s):
        outer = [l * s, t * s, r * s - 1, b * s - 1]
        d.ellipse(outer, fill=255)
        if width:
            d.ellipse([outer[0] + width * s, outer[1] + width * s,
                       outer[2] - width * s, outer[3] - width * s], fill=0)
    return fn


def polygon(points):
    def fn(d, s):
        d.polygon([(x * s, y * s) for x, y in points], fill=255)
    return fn


def hline(img, x0, x1, y, colour):
    ImageDraw.Draw(img).line([(x0, y), (x1, y)], fill=colour)


def text(img, xy, s, fnt, colour, anchor="la"):
    ImageDraw.Draw(img).text(xy, s, font=fnt, fill=colour, anchor=anchor)


def text_width(s, fnt):
    l, _, r, _ = fnt.getbbox(s)
    return r - l


def group(img, box, caption):
    """A rounded group frame whose caption interrupts its top line."""
    l, t, r, b = box
    fill(img, rrect(box, 5, 1), LINE)
    f = font(11, bold=True)
    w = text_width(caption, f)
    ImageDraw.Draw(img).rectangle([l + 10, t - 1, l + 10 + w + 9, t + 1], fill=BG)
    text(img, (l + 15, t), caption, f, ACCENT, anchor="lm")


def label(img, right, top, height, s, colour=INK):
    """A label right-aligned against a control at (right, top) of the given height."""
    text(img, (right, top + height / 2), s, font(11), colour, anchor="rm")


def field_slot(img, x, y, w, h):
    """A light line under a control, so fields without a border still read as fields."""
    hline(img, x, x + w - 1, y + h + 1, LIGHT)


# ---- glyphs ---------------------------------------------------------------------------

def download_glyph(img, cx, cy, size, colour):
    """A downward arrow onto a tray, the sign of a download."""
    s = size / 16.0
    fill(img, polygon([(cx - 2 * s, cy - 8 * s), (cx + 2 * s, cy - 8 * s), (cx + 2 * s, cy - 1 * s),
                       (cx + 5.5 * s, cy - 1 * s), (cx, cy + 5 * s), (cx - 5.5 * s, cy - 1 * s),
                       (cx - 2 * s, cy - 1 * s)]), colour)
    fill(img, polygon([(cx - 8 * s, cy + 3 * s), (cx - 6 * s, cy + 3 * s), (cx - 6 * s, cy + 6 * s),
                       (cx + 6 * s, cy + 6 * s), (cx + 6 * s, cy + 3 * s), (cx + 8 * s, cy + 3 * s),
                       (cx + 8 * s, cy + 8 * s), (cx - 8 * s, cy + 8 * s)]), colour)


def logo_mark(img, x, y, size):
    """The product mark: a set-top box taking a download, on a rounded dark-blue tile."""
    fill_gradient(img, rrect((x, y, x + size - 1, y + size - 1), size // 5), BTN_TOP, ACCENT_DARK, y, y + size)
    u = size / 48.0
    # box body with its front panel line and a status light
    fill(img, rrect((round(x + 8 * u), round(y + 27 * u), round(x + 39 * u), round(y + 38 * u)), max(1, round(2 * u))), WHITE)
    fill(img, rrect((round(x + 11 * u), round(y + 31 * u), round(x + 25 * u), round(y + 33 * u)), 1), ACCENT)
    fill(img, ellipse((x + 31 * u, y + 30 * u, x + 35 * u, y + 34 * u)), ACCENT)
    # arrow above it
    cx = x + 24 * u
    fill(img, polygon([(cx - 3 * u, y + 7 * u), (cx + 3 * u, y + 7 * u), (cx + 3 * u, y + 15 * u),
                       (cx + 8 * u, y + 15 * u), (cx, y + 23 * u), (cx - 8 * u, y + 15 * u),
                       (cx - 3 * u, y + 15 * u)]), WHITE)


# ---- the bitmaps ----------------------------------------------------------------------

def banner():
    img = new(700, 124)
    top = Image.new("RGB", (700, 78))
    d = ImageDraw.Draw(top)
    for y in range(78):
        t = y / 77.0
        d.line([(0, y), (699, y)], fill=tuple(round(BANNER_TOP[i] + (BG[i] - BANNER_TOP[i]) * t) for i in range(3)))
    img.paste(top, (0, 0))
    logo_mark(img, 22, 14, 50)
    text(img, (86, 13), "Stelvar", font(32, bold=True), ACCENT)
    text(img, (88, 52), "Firmware download for digital set-top boxes (STB)  \u00b7  RS-232 and USB",
         font(12), MUTED)
    text(img, (678, 22), "Korvantex", font(13, bold=True), ACCENT, anchor="rs")
    text(img, (678, 38), "STB service tools", font(10), MUTED, anchor="rs")
    # tab strip rule under the tabs (83..114); the tabs stand on it
    ImageDraw.Draw(img).rectangle([0, 115, 699, 116], fill=ACCENT)
    hline(img, 0, 699, 117, LINE)
    return img


def tab(w, caption, selected, bg):
    img = new(w, 32, bg)
    edge = ACCENT if selected else LINE

    def outline(d, s):
        d.rounded_rectangle([0, 1 * s, w * s - 1, 40 * s], 7 * s, fill=255)
        d.rounded_rectangle([1 * s, 2 * s, (w - 1) * s - 1, 40 * s], 6 * s, fill=0)
    fill(img, outline, edge)
    if selected:
        fill(img, rrect((1, 2, w - 2, 4), 2), ACCENT)
        f = font(13, bold=True)
        tw = text_width(caption, f)
        x0 = (w - tw - 16) // 2
        fill(img, ellipse((x0, 13, x0 + 10, 23)), ACCENT)
        fill(img, ellipse((x0 + 3, 16, x0 + 7, 20)), WHITE)
        text(img, (x0 + 16, 18), caption, f, ACCENT, anchor="lm")
    else:
        text(img, (w / 2, 18), caption, font(13), MUTED, anchor="mm")
    return img


def home_icon():
    img = new(22, 22)
    fill(img, ellipse((1, 1, 21, 21), 2), ACCENT)
    text(img, (11, 11.5), "?", font(13, bold=True), ACCENT, anchor="mm")
    return img


def bottom_strip():
    img = new(700, 51)
    hline(img, 0, 699, 0, LINE)
    hline(img, 0, 699, 1, LIGHT)
    text(img, (22, 22), "Korvantex", font(12, bold=True), ACCENT, anchor="lm")
    x = 22 + text_width("Korvantex", font(12, bold=True)) + 10
    fill(img, rrect((x, 14, x, 29), 0), LINE)
    text(img, (x + 10, 22), "Set-top box firmware download", font(11), MUTED, anchor="lm")
    text(img, (678, 22), "Stelvar v1.0.2", font(11), MUTED, anchor="rm")
    return img


def left_menu(title, steps):
    img = new(170, 325)
    text(img, (12, 18), title, font(12, bold=True), ACCENT, anchor="lm")
    hline(img, 8, 161, 30, LINE)
    # the menu button sits at (8, 39) 148 x 43
    text(img, (12, 104), "Steps", font(10, bold=True), MUTED, anchor="lm")
    y = 126
    for n, step in enumerate(steps, 1):
        fill(img, ellipse((12, y - 8, 28, y + 8)), ACCENT)
        text(img, (20, y + 0.5), str(n), font(10, bold=True), WHITE, anchor="mm")
        for k, line in enumerate(step.split("\n")):
            text(img, (36, y + k * 14), line, font(11), INK, anchor="lm")
        y += 22 + 14 * step.count("\n")
    # edge towards the work view
    ImageDraw.Draw(img).line([(169, 0), (169, 324)], fill=LINE)
    return img


def face(w, h, caption, top, bottom, edge, ink, size, glyph=False, radius=5, condensed=False):
    """A button face filling w x h: a rounded body on a 2-pixel rim of background."""
    img = new(w, h)
    fill(img, rrect((2, 2, w - 3, h - 3), radius + 1), edge)
    fill_gradient(img, rrect((3, 3, w - 4, h - 4), radius), top, bottom, 3, h - 4)
    f = font(size, bold=True, condensed=condensed)
    tw = text_width(caption, f)
    if glyph:
        gw = 18
        x0 = (w - tw - gw - 6) // 2
        download_glyph(img, x0 + gw / 2, h / 2 - 1, 16, ink)
        text(img, (x0 + gw + 6, h / 2), caption, f, ink, anchor="lm")
    else:
        text(img, (w / 2, h / 2), caption, f, ink, anchor="mm")
    return img


STYLES = {
    "normal": (BTN_TOP, BTN_BOTTOM, ACCENT_DARK, WHITE),
    "hover": (HOT_TOP, HOT_BOTTOM, HOT_EDGE, WHITE),
    "busy": (BUSY_TOP, BUSY_BOTTOM, BUSY_EDGE, BUSY_TEXT),
    "stop": (STOP_TOP, STOP_BOTTOM, STOP_EDGE, WHITE),
    "stop-hover": (STOP_HOT_TOP, STOP_HOT_BOTTOM, STOP_EDGE, WHITE),
}


def menu_button(caption, style):
    return face(148, 43, caption, *STYLES[style], size=12, glyph=True, radius=6, condensed=True)


def view_button(caption, style):
    return face(78, 26, caption, *STYLES[style], size=11, condensed=True)


def serial_view():
    img = new(530, 325)
    group(img, (34, 24, 405, 120), "COM Port Settings")
    for x, y, s in [(117, 44, "Port"), (117, 69, "Baud rate"), (300, 44, "Data bits"),
                    (300, 69, "Parity"), (300, 95, "Flow control")]:
        label(img, x, y, 14, s)
    for x, y in [(125, 44), (125, 69), (308, 44), (308, 69), (308, 95)]:
        field_slot(img, x, y, 84, 14)
    group(img, (34, 130, 405, 168), "Image File")
    field_slot(img, 42, 143, 350, 14)
    group(img, (34, 180, 405, 236), "Progress")
    text(img, (49, 199), "Time", font(11), INK, anchor="lm")
    group(img, (34, 246, 405, 308), "Messages")
    return img


def usb_view():
    img = new(530, 325)
    group(img, (34, 28, 405, 78), "Image File")
    group(img, (34, 90, 405, 224), "Progress")
    for y, s in [(120, "Download"), (160, "Erasing"), (200, "Writing")]:
        text(img, (49, y - 2), s, font(11), INK, anchor="ls")
    group(img, (34, 232, 405, 306), "Messages")
    return img


# Rectangles (left, top, width, height) where the views' controls and the serial view's
# time text sit; the backgrounds must be plain there.
CONTROLS = {
    218: [(125, 44, 84, 14), (125, 69, 84, 14), (308, 44, 84, 14), (308, 69, 84, 14),
          (308, 95, 84, 14), (42, 143, 350, 14), (49, 212, 350, 14), (49, 258, 350, 41),
          (420, 64, 78, 26), (420, 138, 78, 26), (420, 257, 78, 26), (122, 190, 276, 18)],
    244: [(421, 191, 78, 26), (420, 44, 78, 26), (49, 240, 343, 55),
          (49, 120, 343, 14), (49, 160, 343, 14), (49, 200, 343, 14)],
}


def check_plain(ident, img):
    for l, t, w, h in CONTROLS.get(ident, []):
        colours = img.crop((l, t, l + w, t + h)).getcolors()
        assert colours is not None and [c for _, c in colours] == [BG], (ident, (l, t, w, h))


def bitmaps():
    """(id, role, image, dominant colour, is a button face) of every bitmap."""
    return [
        (213, "banner", banner(), BG, False),
        (237, "tab-serial", tab(110, "Serial", False, BG), BG, False),
        (238, "tab-serial-selected", tab(110, "Serial", True, BG_TAB), BG_TAB, False),
        (239, "tab-usb", tab(113, "USB", False, BG_TAB), BG_TAB, False),
        (240, "tab-usb-selected", tab(113, "USB", True, BG), BG, False),
        (230, "home-page", home_icon(), BG, False),
        (214, "bottom", bottom_strip(), BG, False),
        (219, "menu-serial", left_menu("Serial Download", [
            "Set the COM port", "Select the image file", "Switch on the STB",
            "Follow the progress\nand the messages"]), BG, False),
        (243, "menu-usb", left_menu("USB Download", [
            "Connect the STB\nby USB", "Select the image file", "Press DOWNLOAD",
            "Follow the progress\nand the messages"]), BG, False),
        (217, "menu-serial-normal", menu_button("DOWNLOAD IMAGE", "normal"), BG, True),
        (226, "menu-serial-hover", menu_button("DOWNLOAD IMAGE", "hover"), BG, True),
        (241, "menu-serial-busy", menu_button("DOWNLOAD IMAGE", "busy"), BG, True),
        (245, "menu-usb-normal", menu_button("USB DOWNLOAD", "normal"), BG, True),
        (247, "menu-usb-hover", menu_button("USB DOWNLOAD", "hover"), BG, True),
        (246, "menu-usb-busy", menu_button("USB DOWNLOAD", "busy"), BG, True),
        (218, "view-serial", serial_view(), BG, False),
        (221, "port-normal", view_button("PORT...", "normal"), BG, True),
        (224, "port-hover", view_button("PORT...", "hover"), BG, True),
        (235, "port-busy", view_button("PORT...", "busy"), BG, True),
        (220, "file-normal", view_button("FILE...", "normal"), BG, True),
        (225, "file-hover", view_button("FILE...", "hover"), BG, True),
        (233, "file-busy", view_button("FILE...", "busy"), BG, True),
        (229, "reset-normal", view_button("RESET", "normal"), BG, True),
        (228, "reset-hover", view_button("RESET", "hover"), BG, True),
        (210, "cancel-normal", view_button("CANCEL", "stop"), BG, True),
        (227, "cancel-hover", view_button("CANCEL", "stop-hover"), BG, True),
        (244, "view-usb", usb_view(), BG, False),
        (253, "usb-download-normal", view_button("DOWNLOAD", "normal"), BG, True),
        (254, "usb-download-hover", view_button("DOWNLOAD", "hover"), BG, True),
        (282, "usb-download-busy", view_button("DOWNLOAD", "busy"), BG, True),
        (278, "usb-file-normal", view_button("FILE", "normal"), BG, True),
        (279, "usb-file-hover", view_button("FILE", "hover"), BG, True),
    ]


SIZES = {213: (700, 124), 237: (110, 32), 238: (110, 32), 239: (113, 32), 240: (113, 32),
         230: (22, 22), 214: (700, 51), 219: (170, 325), 243: (170, 325), 218: (530, 325),
         244: (530, 325)}
for _id in (217, 226, 241, 245, 247, 246):
    SIZES[_id] = (148, 43)
for _id in (224, 221, 235, 225, 220, 233, 228, 229, 227, 210, 254, 253, 282, 279, 278):
    SIZES[_id] = (78, 26)


# Resource names and roles, written to ArtworkIds.h and Artwork.rc.
NAMES = {
    213: ("IDB_BANNER", "banner: logo, tagline and the rule under the tabs"),
    237: ("IDB_TAB_SERIAL", "Serial tab, not selected"),
    238: ("IDB_TAB_SERIAL_SELECTED", "Serial tab, selected (circular marker)"),
    239: ("IDB_TAB_USB", "USB tab, not selected"),
    240: ("IDB_TAB_USB_SELECTED", "USB tab, selected (circular marker)"),
    230: ("IDB_HOME_PAGE", "home-page icon: a question mark in a circle"),
    214: ("IDB_BOTTOM", "bottom strip: maker and version"),
    219: ("IDB_MENU_SERIAL_BACK", "serial left-menu background"),
    243: ("IDB_MENU_USB_BACK", "USB left-menu background"),
    217: ("IDB_MENU_SERIAL", "serial menu button DOWNLOAD IMAGE, normal"),
    226: ("IDB_MENU_SERIAL_HOVER", "serial menu button, pointer over it"),
    241: ("IDB_MENU_SERIAL_BUSY", "serial menu button, busy (greyed)"),
    245: ("IDB_MENU_USB", "USB menu button USB DOWNLOAD, normal"),
    247: ("IDB_MENU_USB_HOVER", "USB menu button, pointer over it"),
    246: ("IDB_MENU_USB_BUSY", "USB menu button, busy (greyed)"),
    218: ("IDB_SERIAL_VIEW", "serial download view background with its labels"),
    221: ("IDB_PORT", "Configure COM port button, normal"),
    224: ("IDB_PORT_HOVER", "Configure COM port button, highlighted"),
    235: ("IDB_PORT_BUSY", "Configure COM port button, busy (greyed)"),
    220: ("IDB_FILE", "select-file button of the serial view, normal"),
    225: ("IDB_FILE_HOVER", "select-file button of the serial view, highlighted"),
    233: ("IDB_FILE_BUSY", "select-file button of the serial view, busy (greyed)"),
    229: ("IDB_RESET", "reset button, normal"),
    228: ("IDB_RESET_HOVER", "reset button, highlighted"),
    210: ("IDB_CANCEL", "cancel button, normal"),
    227: ("IDB_CANCEL_HOVER", "cancel button, highlighted"),
    244: ("IDB_USB_VIEW", "USB download view background with its captions"),
    253: ("IDB_USB_DOWNLOAD", "USB Download button, normal"),
    254: ("IDB_USB_DOWNLOAD_HOVER", "USB Download button, highlighted"),
    282: ("IDB_USB_DOWNLOAD_BUSY", "USB Download button while a download runs (greyed)"),
    278: ("IDB_USB_FILE", "USB File button, normal"),
    279: ("IDB_USB_FILE_HOVER", "USB File button, highlighted"),
}


def write_resources(files):
    """ArtworkIds.h and Artwork.rc for the bitmaps in files ({id: file name})."""
    order = sorted(files)
    ids = ["// ArtworkIds.h - resource ids of the views' bitmaps (res/Artwork.rc).",
           "// Written by res/make_artwork.py; edit the script, not this file.",
           "#pragma once", ""]
    rc = ["// Bitmaps of the views, drawn by res/make_artwork.py into res/art/.",
          "// Written by the script together with ArtworkIds.h; edit the script, not this file.",
          '#include "ArtworkIds.h"', ""]
    for ident in order:
        name, role = NAMES[ident]
        ids += ["// " + role, "#define %s %d" % (name, ident)]
        rc.append('%-24s BITMAP "art/%s"' % (name, files[ident]))
    for path, lines in (("ArtworkIds.h", ids), ("Artwork.rc", rc)):
        with open(os.path.join(HERE, path), "w", newline="\n") as f:
            f.write("\n".join(lines) + "\n")


# ---- quantisation and BMP output -----------------------------------------------------

def quantise(img):
    """Palette indices of img, each pixel mapped to its nearest palette colour."""
    cache = {}
    out = bytearray()
    for c in img.getdata():
        i = cache.get(c)
        if i is None:
            best = None
            for k, p in enumerate(PALETTE):
                dist = 2 * (c[0] - p[0]) ** 2 + 4 * (c[1] - p[1]) ** 2 + 3 * (c[2] - p[2]) ** 2
                if best is None or dist < best:
                    best, i = dist, k
            cache[c] = i
        out.append(i)
    return bytes(out)


def bmp_bytes(w, h, indices):
    stride = (w + 3) & ~3
    rows = b"".join(indices[y * w:(y + 1) * w] + b"\0" * (stride - w) for y in range(h - 1, -1, -1))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    return header + info + palette + rows


def check(ident, w, h, indices, dominant, is_face):
    assert (w, h) == SIZES[ident], (ident, w, h)
    counts = [0] * 256
    for i in indices:
        counts[i] += 1
    top = max(range(256), key=lambda k: counts[k])
    assert PALETTE[top] == dominant, (ident, PALETTE[top], dominant)
    if is_face:
        for k in range(256):
            assert not (counts[k] and PALETTE[k] in FORBIDDEN), (ident, PALETTE[k])


def check_file(path, w, h):
    with open(path, "rb") as f:
        data = f.read()
    _, _, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    _, bw, bh, planes, bits, comp = struct.unpack_from("<IiiHHI", data, 14)
    assert (bw, bh, planes, bits, comp) == (w, h, 1, 8, 0), path


def main():
    os.makedirs(OUT, exist_ok=True)
    seen = set()
    files = {}
    for ident, role, img, dominant, is_face in bitmaps():
        assert ident not in seen, ident
        seen.add(ident)
        w, h = img.size
        check_plain(ident, img)
        indices = quantise(img)
        check(ident, w, h, indices, dominant, is_face)
        files[ident] = "bmp%d-%s.bmp" % (ident, role)
        path = os.path.join(OUT, files[ident])
        with open(path, "wb") as f:
            f.write(bmp_bytes(w, h, indices))
        check_file(path, w, h)
    assert seen == set(SIZES) == set(NAMES), sorted(set(SIZES) ^ seen)
    write_resources(files)
    print("wrote %d bitmaps to %s" % (len(seen), OUT))


if __name__ == "__main__":
    sys.exit(main())
