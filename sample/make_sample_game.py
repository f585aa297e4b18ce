#!/usr/bin/env python3
"""Writes the sample game folder (sample/game) byte for byte.

The folder is kept in the repository; this program is how it was made, so that a change
to it is a change here and the bytes stay deterministic (no dates, no random numbers).
Run it from anywhere: python3 sample/make_sample_game.py
"""

import os
import shutil
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "game")


def crlf(text):
    """Every line break of the text as CR LF."""
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def put(path, data):
    full = os.path.join(ROOT, *path.split("\\"))
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)


def put8(path, text):
    """8-bit text (each character one byte, 0-255), CR LF line ends."""
    put(path, crlf(text).encode("latin-1"))


def put16(path, text):
    """UTF-16 little-endian with byte-order mark, CR LF line ends."""
    put(path, b"\xff\xfe" + crlf(text).encode("utf-16-le"))


def pseudo_bytes(seed, count):
    """Deterministic stand-in content for binary game files."""
    out = bytearray()
    x = seed
    for _ in range(count):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((x >> 16) & 0xFF)
    return bytes(out)


# ---- the game's own data -------------------------------------------------------------

NAMES = """\
// Dravik name list: every entry is a key in braces and its text up to the next key.
// Comment lines like these belong to the text of the entry they stand in.
{TOWN_NORVALE}Norvale
{TOWN_EASTMARCH}Eastmarch
{TOWN_IRONCOAST}Port Kessa
{HERO_ELA}Éla of the Fjords
{HERO_BIO}Born in Ærøskøbing,
she crossed the Дравик pass
in the winter of 1203.
// the biography above runs over three lines
{UNIT_SPEAR}Spearmen
{UNIT_KNIGHT}Knights
"""

UNITS = """\
// Unit descriptions
{DESC_SPEAR}Cheap infantry that holds a line — «steady».
{DESC_KNIGHT}Heavy horse.
Strong on open ground, weak in forests.
{DESC_ARCHER}Archers of the Südwald
"""

MENU = """\
// Menu texts, 8-bit file
{MENU_START}Start game
{MENU_LOAD}Load game
{MENU_OPTIONS}Options
// unused entry below
{MENU_CREDITS}Credits:
Ülrike Straße
François Åberg
{MENU_QUIT}Quit
"""

SPEARMEN = """\
[unit]
name=Spearmen
hp=10
attack=3
armour=2
[end unit]
"""

KNIGHTS = """\
[unit]
name=Knights
-- stats --
hp=20
attack=6
speed=4
-- end stats --
[end unit]
"""

REGIONS = """\
region=north;owner=norvale
region=east;owner=eastmarch
region=coast;owner=free
"""


def write_game_data():
    put16("data\\text\\names.txt", NAMES)
    put16("data\\text\\units.txt", UNITS)
    put8("data\\text\\menu.txt", MENU)
    # The game's compiled caches of its text files (only ever deleted by the setup tool).
    put("data\\text\\names.txt.strings.bin", b"DSTR" + pseudo_bytes(1, 60))
    put("data\\text\\menu.txt.strings.bin", b"DSTR" + pseudo_bytes(2, 40))
    put8("data\\units\\infantry\\spearmen.cfg", SPEARMEN)
    put8("data\\units\\cavalry\\knights.cfg", KNIGHTS)
    put8("data\\maps\\world\\regions.txt", REGIONS)
    put("data\\art\\units\\spearmen.pic", b"PIC1" + pseudo_bytes(3, 252))
    put("data\\art\\units\\knight.pic", b"PIC1" + pseudo_bytes(4, 252))
    put("saves\\quicksave.sav", b"DSAV" + pseudo_bytes(5, 124))


# ---- campaigns ------------------------------------------------------------------------

def write_campaigns():
    put8("data\\campaign\\norvale\\campaign.txt", """\
[name]
The Norvale Chronicles
[description]
Defend the northern keep through three winters.\\nStarts with Spearmen only.
""")
    put8("data\\campaign\\norvale\\units\\infantry\\spearmen.cfg",
         SPEARMEN.replace("attack=3", "attack=4"))
    put8("data\\campaign\\norvale\\maps\\world\\regions.txt",
         REGIONS.replace("owner=free", "owner=norvale"))
    put8("data\\campaign\\norvale\\maps\\norvale\\keep.map", """\
map=keep
size=32x32
""")

    put8("data\\campaign\\eastmarch\\campaign.txt", """\
[name]Eastmarch Frontier
[description]
Hold the river border
 with a handful of knights.
""")
    put8("data\\campaign\\eastmarch\\units\\cavalry\\knights.cfg",
         KNIGHTS.replace("speed=4", "speed=5"))
    put8("data\\campaign\\eastmarch\\maps\\east\\border\\river.map", """\
map=river
size=48x24
""")

    put8("data\\campaign\\iron_coast\\campaign.txt", """\
[name]
The Iron Coast
[description]
Sail from Port Kessa.

Trade, raid, or both: the coast is free
and so are you.
""")
    put("data\\campaign\\iron_coast\\art\\coast\\harbour.pic", b"PIC1" + pseudo_bytes(6, 124))
    put8("data\\campaign\\iron_coast\\maps\\world\\regions.txt",
         REGIONS.replace("region=coast;owner=free", "region=coast;owner=ironcoast"))


# ---- scripts --------------------------------------------------------------------------

def write_scripts():
    # replace ... on:  (group Difficulty, required, checked by default)
    put8("data\\campaign\\sub\\easy.txt", """\
[name]
Easy spearmen
[description]
Spearmen get more hit points.
[works for]
all
[grouped in]
Difficulty
[checked]
[required]
[files]
replace data\\units\\infantry\\spearmen.cfg with spearmen_hp.txt on:
hp=10
<end>
""")
    put8("data\\campaign\\sub\\easy\\spearmen_hp.txt", "hp=14\n")

    # replace ... from: ... to:  (group Difficulty)
    put8("data\\campaign\\sub\\hard.txt", """\
[name]
Hard knights
[description]
Knights are stronger.\\nOnly for the northern campaigns.
[works for]
norvale eastmarch
[grouped in]
Difficulty
[files]
replace data\\units\\cavalry\\knights.cfg with knights_stats.txt from:
-- stats --
to:
-- end stats --
<end>
""")
    put8("data\\campaign\\sub\\hard\\knights_stats.txt", """\
-- stats --
hp=28
attack=8
speed=4
-- end stats --
""")

    # overwrite with a source and without one (the file of the destination's own name);
    # the base name is "hd", the part before the first dot.
    put8("data\\campaign\\sub\\hd.textures.txt", """\
[name]
Detailed unit pictures
[description]
Replaces the unit pictures and the world map regions.
[works for]
norvale, eastmarch
[files]
overwrite data\\art\\units\\spearmen.pic with spearmen_hd.pic
overwrite data\\art\\units\\knight.pic with knight_hd.pic
overwrite data\\maps\\world\\regions.txt
<end>
""")
    put("data\\campaign\\sub\\hd\\spearmen_hd.pic", b"PIC2" + pseudo_bytes(7, 508))
    put("data\\campaign\\sub\\hd\\knight_hd.pic", b"PIC2" + pseudo_bytes(8, 508))
    put8("data\\campaign\\sub\\hd\\regions.txt", REGIONS + "region=islands;owner=free\n")

    # append before (source file), replace after (drops the anchor), translate with a
    # source, and a last inline append without a condition.
    put8("data\\campaign\\sub\\menu_fix.txt", """\
[name]
Menu additions
[description]
Adds a Mods entry to the menu and tidies its texts.
[works for]
eastmarch,iron_coast
[checked]
[files]
append data\\text\\menu.txt with extra_menu.txt before:
{MENU_QUIT}Quit
<end>

replace data\\text\\menu.txt with empty.txt after:
// unused entry below
<end>

translate data\\text\\menu.txt with menu_texts.txt
<end>

append data\\text\\menu.txt with:
{MENU_MODS}Mods ©
""")
    put8("data\\campaign\\sub\\menu_fix\\extra_menu.txt", "{MENU_ACHIEVE}Achievements\n")
    put8("data\\campaign\\sub\\menu_fix\\empty.txt", "")
    put8("data\\campaign\\sub\\menu_fix\\menu_texts.txt", """\
{MENU_OPTIONS}Settings
{MENU_LOAD}Load a saved game
""")

    # append with inline text after an anchor (group Titles, checked by default)
    put8("data\\campaign\\sub\\more_names.txt", """\
[name]
More heroes
[description]
Adds two heroes to the name list.
[works for]
all
[grouped in]
Titles 
[checked]
[files]
append data\\text\\names.txt with:
{HERO_ORIN}Orin the Grey
{HERO_MAREK}Marek Dûn
after:
{UNIT_KNIGHT}Knights
<end>
""")

    # translate without a source: data\campaign\sub\royal_titles\names.txt (UTF-16)
    put8("data\\campaign\\sub\\royal_titles.txt", """\
[name]
Royal titles
[description]
Gives the heroes of Norvale their titles.
[works for]
norvale
[grouped in]
Titles
[files]
translate data\\text\\names.txt
""")
    put16("data\\campaign\\sub\\royal_titles\\names.txt", """\
{HERO_ELA}Queen Éla of the Fjords
{TOWN_NORVALE}Royal Norvale
""")


# ---- translation packs ------------------------------------------------------------------

def write_translations():
    put8("data\\campaign\\translation\\deutsch.txt", """\
[name]
Deutsch
""")
    # Keys out of the game file's order, both encodings.
    put16("data\\campaign\\translation\\deutsch\\names.txt", """\
// Deutsche Namen
{UNIT_KNIGHT}Ritter
{TOWN_EASTMARCH}Ostmark
{HERO_BIO}Geboren in Ærøskøbing,
überquerte sie den Дравик-Pass
im Winter 1203.
{UNIT_SPEAR}Speerträger
""")
    put8("data\\campaign\\translation\\deutsch\\menu.txt", """\
{MENU_START}Spiel starten
{MENU_OPTIONS}Einstellungen
{MENU_QUIT}Beenden
""")
    put16("data\\campaign\\translation\\deutsch\\units.txt", """\
{DESC_KNIGHT}Schwere Reiterei.
Stark im offenen Gelände, schwach im Wald.
""")

    put8("data\\campaign\\translation\\francais.txt", """\
[name]Français
""")
    put16("data\\campaign\\translation\\francais\\names.txt", """\
{TOWN_EASTMARCH}Marche de l'Est
{UNIT_SPEAR}Piquiers
{UNIT_KNIGHT}Chevaliers
""")


# ---- the main window's background -----------------------------------------------------

# A 5 x 7 font, just the letters of the title.
FONT = {
    "D": ["1110", "1001", "1001", "1001", "1001", "1001", "1110"],
    "R": ["1110", "1001", "1001", "1110", "1010", "1001", "1001"],
    "A": ["0110", "1001", "1001", "1111", "1001", "1001", "1001"],
    "V": ["1001", "1001", "1001", "1001", "1001", "0110", "0110"],
    "I": ["111", "010", "010", "010", "010", "010", "111"],
    "K": ["1001", "1010", "1100", "1100", "1010", "1001", "1001"],
    "S": ["0111", "1000", "1000", "0110", "0001", "0001", "1110"],
    "E": ["1111", "1000", "1000", "1110", "1000", "1000", "1111"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["1001", "1001", "1001", "1001", "1001", "1001", "0110"],
    "P": ["1110", "1001", "1001", "1110", "1000", "1000", "1000"],
    " ": ["00", "00", "00", "00", "00", "00", "00"],
}


def background_bmp():
    width, height = 640, 480
    # Palette: 0-191 a night-blue to teal gradient, 255 the title's gold.
    palette = bytearray()
    for i in range(256):
        if i < 192:
            t = i / 191.0
            r, g, b = int(10 + 20 * t), int(20 + 90 * t), int(60 + 90 * t)
        elif i == 255:
            r, g, b = 230, 190, 80
        else:
            r, g, b = 0, 0, 0
        palette += bytes((b, g, r, 0))
    pixels = [[(y * 191) // (height - 1) for _ in range(width)] for y in range(height)]

    title, scale = "DRAVIK SETUP", 6
    text_width = sum((len(FONT[c][0]) + 1) * scale for c in title)
    x0, y0 = (width - text_width) // 2, 60
    x = x0
    for c in title:
        glyph = FONT[c]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            pixels[y0 + gy * scale + dy][x + gx * scale + dx] = 255
        x += (len(glyph[0]) + 1) * scale

    body = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows; 640 bytes is already 4-aligned
        body += bytes(pixels[y])
    offset = 14 + 40 + len(palette)
    header = b"BM" + struct.pack("<IHHI", offset + len(body), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(body), 2835, 2835, 256, 0)
    return header + info + bytes(palette) + bytes(body)


def main():
    if os.path.isdir(ROOT):
        shutil.rmtree(ROOT)
    write_game_data()
    write_campaigns()
    write_scripts()
    write_translations()
    put("data\\menu\\setup_bg.bmp", background_bmp())


if __name__ == "__main__":
    main()
