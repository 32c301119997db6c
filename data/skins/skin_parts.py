"""The design language of the shipped skins: the palette, the type scale, and the building blocks
(icons, buttons in their pressed and disabled looks, bars and list rows) that every screen is made
of. Sizes are logical pixels; on screens of 192 dpi and more the skin format doubles them.

Dark throughout: one warm accent means "recording", a blue one marks playback, everything else is
grey on near-black, and every text colour keeps at least 4.5:1 against what it is drawn on.
"""
from skin_source_writer import node, font, colour, text_props, picture, quote

BACKGROUND = "#121417"
SURFACE = "#1C1F24"
RAISED = "#262A31"
PRESSED = "#363C47"
PRESSED_ON_SHEET = "#444B57"
DIVIDER = "#2E333B"
SHEET = "#22262D"
TEXT = "#F2F4F7"
TEXT_SECONDARY = "#A9B1BC"
TEXT_DISABLED = "#8C949E"
ACCENT = "#FF5A4E"
ACCENT_PRESSED = "#FF8077"
ACCENT_TEXT = "#FF8A80"
ON_ACCENT = BACKGROUND
PLAYBACK = "#5AA9FF"
PLAYBACK_PRESSED = "#8CC3FF"
MATCH = "#FFD166"

FACE = "DejaVu Sans"
LABEL = 8      # points; 11 px at 96 dpi: the labels under the icons of a row of controls
CAPTION = 10   # 13 px
BODY = 12
ROW_TITLE = 13
TITLE = 15
ELAPSED = 30

ALPHA = ("int", "alpha", "128")

_NAMES = {BACKGROUND: "bg", SURFACE: "surface", RAISED: "raised", PRESSED: "pressed", SHEET: "sheet",
          TEXT: "text", TEXT_SECONDARY: "text2", TEXT_DISABLED: "dis", ACCENT: "accent",
          ACCENT_PRESSED: "accentp", PRESSED_ON_SHEET: "pressed2", PLAYBACK: "play", PLAYBACK_PRESSED: "playp",
          DIVIDER: "divider"}


def short(c):
    return _NAMES.get(c, c.lstrip("#").lower())


class Parts:
    """Picture-making building blocks bound to one picture collection."""

    def __init__(self, pictures):
        self.p = pictures

    # Pictures -----------------------------------------------------------------------------------
    def glyph_picture(self, glyph, fg, backdrop, size=24):
        name = "g_%s_%s_%s_%d" % (glyph, short(fg), short(backdrop), size)
        return self.p.add(name, self.p.place_glyph(glyph, fg, 0, 0, size), size, size, backdrop)

    def box_picture(self, fill, backdrop, radius=12):
        """A rounded rectangle cut in nine: fixed corners, flat middle rows and columns that tile."""
        keep = radius + 2
        side = 2 * keep + 4
        name = "box_%s_%s_%d" % (short(fill), short(backdrop), radius)
        self.p.add(name, '<rect width="%d" height="%d" rx="%d" fill="%s"/>' % (side, side, radius, fill),
                   side, side, backdrop)
        return name, (0, 0, keep, keep, side, side, side - keep, side - keep)

    def sheet_picture(self, fill, backdrop, radius=16):
        """A panel rising from the bottom edge: rounded top corners, square bottom."""
        keep = radius + 2
        side = 2 * keep + 4
        name = "sheet_%s_%d" % (short(fill), radius)
        r = radius
        path = "M0 %d a%d %d 0 0 1 %d -%d H%d a%d %d 0 0 1 %d %d V%d H0z" % (
            r, r, r, r, r, side - r, r, r, r, r, side)
        self.p.add(name, '<path d="%s" fill="%s"/>' % (path, fill), side, side, backdrop)
        return name, (0, 0, keep, keep, side, side, side - keep, side - keep)

    def disc_picture(self, size, fill, backdrop, glyph=None, glyph_colour=None, glyph_size=24, ring=None):
        parts = []
        centre = size / 2.0
        if ring:
            parts.append('<circle cx="%g" cy="%g" r="%g" fill="none" stroke="%s" stroke-width="2.5"/>'
                         % (centre, centre, centre - 1.5, ring))
            parts.append('<circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (centre, centre, centre - 6, fill))
        else:
            parts.append('<circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (centre, centre, centre, fill))
        if glyph:
            offset = (size - glyph_size) / 2.0
            parts.append(self.p.place_glyph(glyph, glyph_colour, offset, offset, glyph_size))
        name = "disc_%d_%s_%s%s%s" % (size, short(fill), short(backdrop),
                                       "_" + glyph + "_" + short(glyph_colour) if glyph else "",
                                       "_ring" if ring else "")
        return self.p.add(name, "".join(parts), size, size, backdrop)

    def ring_picture(self, size, stroke, backdrop):
        name = "ring_%d_%s_%s" % (size, short(stroke), short(backdrop))
        c = size / 2.0
        return self.p.add(name, '<circle cx="%g" cy="%g" r="%g" fill="none" stroke="%s" stroke-width="2"/>'
                          % (c, c, c - 2, stroke), size, size, backdrop)

    def bar_picture(self, fill, backdrop, height):
        """A pill-shaped bar of the given height; the ends stay, the middle columns tile."""
        keep = height // 2 + 1
        width = 2 * keep + 4
        name = "bar_%s_%s_%d" % (short(fill), short(backdrop), height)
        self.p.add(name, '<rect width="%d" height="%d" rx="%g" fill="%s"/>' % (width, height, height / 2.0, fill),
                   width, height, backdrop)
        return name, (0, 0, keep, 0, width, height, width - keep, height)

    def track_picture(self, fill, backdrop, height, thickness=4):
        """A thin pill centred in a taller box, for sliders whose thumb is taller than the track."""
        keep = thickness // 2 + 1
        width = 2 * keep + 4
        top = (height - thickness) / 2.0
        name = "track_%s_%s_%d" % (short(fill), short(backdrop), height)
        self.p.add(name, '<rect y="%g" width="%d" height="%d" rx="%g" fill="%s"/>'
                   % (top, width, thickness, thickness / 2.0, fill), width, height, backdrop)
        return name, (0, 0, keep, 0, width, height, width - keep, height)

    def thumb_line_picture(self, fill, knob, backdrop, height=24, thickness=4, knob_size=20):
        """The filled part of a slider: a thin pill whose right end carries the round thumb."""
        lead = thickness // 2 + 1
        trail = knob_size + 2
        width = lead + 4 + trail
        top = (height - thickness) / 2.0
        cx = width - trail / 2.0
        name = "thumb_%s_%s_%s_%d" % (short(fill), short(knob), short(backdrop), height)
        body = ('<rect y="%g" width="%g" height="%d" rx="%g" fill="%s"/>'
                '<circle cx="%g" cy="%g" r="%g" fill="%s"/>'
                % (top, cx, thickness, thickness / 2.0, fill, cx, height / 2.0, knob_size / 2.0, knob))
        self.p.add(name, body, width, height, backdrop)
        return name, (0, 0, lead, 0, width, height, width - trail, height)

    # Elements -----------------------------------------------------------------------------------
    def glyph(self, glyph, fg, backdrop, size=24, id=None, ax="CENTER", ay="CENTER", bmin=None, bmax=None):
        return node("image", id, ax=ax, ay=ay, bmin=bmin, bmax=bmax, size=(size, size),
                    props=[picture(self.glyph_picture(glyph, fg, backdrop, size)), ALPHA])

    def image(self, pic, id=None, kids=(), **place):
        name, corners = pic if isinstance(pic, tuple) else (pic, None)
        return node("image", id, props=[picture(name, corners), ALPHA], kids=kids, **place)

    @staticmethod
    def fill(c, id=None, **place):
        return node("color", id, props=[colour(c)], **place)

    @staticmethod
    def text(id, fg, points, bold=False, text=None, halign=None, valign=None, wrap=False, **place):
        return node("text", id, props=[font(points, bold, FACE), colour(fg)] + text_props(text, halign, valign, wrap),
                    **place)

    @staticmethod
    def spacer(ratio=1, height=0):
        return node("node", size=(0, height), ratio=ratio)

    def looks(self, normal, pressed, disabled):
        """The three visual states of a button; each entry is (background, content elements)."""
        out = []
        for state, (background, content) in zip(("#normal", "#pressed", "#disabled"), (normal, pressed, disabled)):
            if background is None:
                out.append(node("node", state, kids=content))
            else:
                out.append(self.image(background, state, kids=content))
        return out

    def content(self, glyph, label, fg, backdrop, label_points=LABEL, stacked=True, glyph_fg=None):
        """What a button shows on one look: a glyph, a "#text" label, or a glyph above a label."""
        kids = []
        if glyph and label is not None and stacked:
            kids.append(self.glyph(glyph, glyph_fg or fg, backdrop, ay="MIN_SIDE", bmin=(0, 8)))
            kids.append(self.text("#text", fg, label_points, ay="MAX_SIDE", bmin=(2, 0), bmax=(2, 5), size=(0, 16)))
        elif glyph and label is not None:
            kids.append(self.glyph(glyph, fg, backdrop, ax="MIN_SIDE", bmin=(16, 0)))
            kids.append(self.text("#text", fg, BODY, True, halign="LEFT", bmin=(48, 0), bmax=(12, 0)))
        elif glyph:
            kids.append(self.glyph(glyph, fg, backdrop))
        else:
            kids.append(self.text("#text", fg, label_points, True, bmin=(8, 0), bmax=(8, 0)))
        return kids

    def ghost_button(self, id, glyph, backdrop, size=48, **place):
        """An icon on the bar it sits on; a soft round highlight while pressed."""
        disc = self.disc_picture(size - 4, PRESSED, backdrop)
        return node("button", id, size=(size, size), **place, kids=self.looks(
            (None, [self.glyph(glyph, TEXT, backdrop)]),
            (None, [self.image(disc, ax="CENTER", ay="CENTER", size=(size - 4, size - 4),
                               kids=[self.glyph(glyph, TEXT, PRESSED)])]),
            (None, [self.glyph(glyph, TEXT_DISABLED, backdrop)])))

    def filled_button(self, id, glyph=None, label=None, style="tonal", backdrop=BACKGROUND, radius=12,
                      stacked=True, label_points=LABEL, extra=(), glyph_colour=None, **place):
        """A rounded button: "tonal" (raised grey), "accent" (the recording red) or "play" (blue)."""
        fills = {"ghost": (None, PRESSED, TEXT, TEXT),
                 "tonal": (RAISED, PRESSED, TEXT, TEXT),
                 "accent": (ACCENT, ACCENT_PRESSED, ON_ACCENT, ON_ACCENT),
                 "play": (PLAYBACK, PLAYBACK_PRESSED, ON_ACCENT, ON_ACCENT),
                 "on": (PLAYBACK, PLAYBACK_PRESSED, ON_ACCENT, ON_ACCENT)}[style]
        normal_fill, pressed_fill, normal_fg, pressed_fg = fills
        if style == "tonal" and backdrop == SHEET:
            # On a dialog's card the raised grey would hardly show: one step lighter there.
            normal_fill, pressed_fill = PRESSED, PRESSED_ON_SHEET
        props = [("string", "text", quote(label))] if label else []
        ghost = normal_fill is None
        looks = self.looks(
            (None if ghost else self.box_picture(normal_fill, backdrop, radius),
             self.content(glyph, label, normal_fg, backdrop if ghost else normal_fill, label_points, stacked,
                          glyph_colour)),
            (self.box_picture(pressed_fill, backdrop, radius),
             self.content(glyph, label, pressed_fg, pressed_fill, label_points, stacked, glyph_colour)),
            (None if ghost else self.box_picture(SURFACE, backdrop, radius),
             self.content(glyph, label, TEXT_DISABLED, backdrop if ghost else SURFACE, label_points, stacked)))
        return node("button", id, props=props, kids=looks + list(extra), **place)

    def round_button(self, id, glyph, diameter, style="play", backdrop=BACKGROUND, **place):
        fills = {"play": (PLAYBACK, PLAYBACK_PRESSED, ON_ACCENT)}[style]
        fill, pressed, fg = fills
        size = (diameter, diameter)
        centred = dict(ax="CENTER", ay="CENTER", size=size)
        return node("button", id, size=size, **place, kids=self.looks(
            (None, [self.image(self.disc_picture(diameter, fill, backdrop, glyph, fg, 32), **centred)]),
            (None, [self.image(self.disc_picture(diameter, pressed, backdrop, glyph, fg, 32), **centred)]),
            (None, [self.image(self.disc_picture(diameter, SURFACE, backdrop, glyph, TEXT_DISABLED, 32),
                               **centred)])))

    def slider_thumb(self, id, **place):
        """The touch surface of a slider: the bar under it shows the value, so it draws nothing."""
        return node("button", id, **place)

    def progress(self, id, track, line, **place):
        return node("progress", id, **place, kids=[
            self.image(track),
            self.image(line, "#line", ax="MIN_SIDE"),
        ])
