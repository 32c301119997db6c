"""The elements of default.skin and splash.skin, screen by screen, with the ids the screens look up.

Layout rules that keep every screen whole from 240 x 400 logical pixels (480 x 800 at high dpi) to
2340 x 1080 (a desktop window): content columns are centred with a maximum width, tables share
the height through spacers that give up their room first, and no fixed-size part adds up to more
than 240 logical pixels of height, so even a landscape phone keeps every control.
"""
from skin_parts import (ACCENT, ACCENT_PRESSED, ACCENT_TEXT, BACKGROUND, BODY, CAPTION, LABEL, DIVIDER, ELAPSED,
                        MATCH, PLAYBACK, PRESSED, RAISED, ROW_TITLE, SHEET, SURFACE, TEXT, TEXT_DISABLED,
                        TEXT_SECONDARY, TITLE, Parts)
from skin_source_writer import node, colour, picture, quote

COLUMN = 720     # the widest a screen's column of controls grows
MARGIN = 12      # between a column and the screen's edges
DIALOG = 440     # the widest a dialog card grows
SHEET_WIDTH = 560
# One picture per kind of recording; those on a storage card carry the card badge.
ROW_ICONS = [("main_memory", "voice_note", False), ("main_memory_incoming", "call_incoming", False),
             ("main_memory_outgoing", "call_outgoing", False), ("card", "voice_note", True),
             ("card_incoming", "call_incoming", True), ("card_outgoing", "call_outgoing", True)]


def bound(button, key):
    """The button also clicks from a key of the keyboard (the program's key name)."""
    button.props.append(("string", "bind_key", quote(key)))
    return button


def scroll_borders(top, bottom):
    return [("point", "scroll_border_min", "0 %d" % top), ("point", "scroll_border_max", "0 %d" % bottom)]


class DefaultSkin:
    def __init__(self, pictures):
        self.k = Parts(pictures)

    # The row icons: the kind of recording on a disc, a card badge for recordings on a card.
    def row_icon_picture(self, glyph, on_card):
        p = self.k.p
        body = ['<circle cx="20" cy="20" r="20" fill="%s"/>' % RAISED,
                p.place_glyph(glyph, TEXT_SECONDARY, 8, 8, 24)]
        if on_card:
            body.append('<circle cx="32" cy="32" r="8" fill="%s"/>' % BACKGROUND)
            body.append('<circle cx="32" cy="32" r="6.5" fill="%s"/>' % RAISED)
            body.append(p.place_glyph("card", TEXT, 27, 27, 10))
        return p.add("row_%s%s" % (glyph, "_card" if on_card else ""), "".join(body), 40, 40, BACKGROUND)

    def row_icons(self):
        return [(name, node(None, props=[picture(self.row_icon_picture(glyph, card))]))
                for name, glyph, card in ROW_ICONS]

    # Main screen --------------------------------------------------------------------------------
    def record_button(self):
        k = self.k
        looks = []
        for state, fill, ring in (("#normal", ACCENT, TEXT), ("#pressed", ACCENT_PRESSED, TEXT),
                                  ("#disabled", SURFACE, TEXT_DISABLED)):
            disc = k.disc_picture(56, fill, SURFACE, ring=ring)
            looks.append(node("node", state, kids=[k.image(disc, ax="CENTER", ay="CENTER", size=(56, 56))]))
        return bound(node("button", "btnRecord", ax="CENTER", ay="CENTER", size=(56, 56), kids=looks), "R")

    def key(self, id, digit, letters, glyph=None):
        k = self.k
        if glyph:
            return bound(k.filled_button(id, glyph=glyph, radius=10, backdrop=SURFACE, bmin=(3, 2), bmax=(3, 2),
                                         size=(48, 48), ratio=1), "Backspace")
        if not letters:
            labels = k.text(None, TEXT, TITLE, True, text=digit)
        else:
            labels = node("vtable", ay="CENTER", size=(0, 37), kids=[
                k.text(None, TEXT, TITLE, True, text=digit, size=(0, 24)),
                k.text(None, TEXT_SECONDARY, LABEL, text=letters, size=(0, 13)),
            ])
        button = k.filled_button(id, radius=10, backdrop=SURFACE, bmin=(3, 2), bmax=(3, 2), size=(48, 48), ratio=1)
        # Without a glyph or text each look is bare: the labels lie over whichever look shows.
        for look in button.kids:
            look.kids = []
        button.kids.append(labels)
        return bound(button, digit)

    def keyboard(self):
        k = self.k
        rows = [[("button1", "1", ""), ("button2", "2", "ABC"), ("button3", "3", "DEF"), ("button_backspace", "", "")],
                [("button4", "4", "GHI"), ("button5", "5", "JKL"), ("button6", "6", "MNO"), ("button0", "0", "")],
                [("button7", "7", "PQRS"), ("button8", "8", "TUV"), ("button9", "9", "WXYZ"),
                 ("button_hash", "#", "")]]
        table = node("vtable", bmin=(8, 6), bmax=(8, 6), kids=[
            node("htable", size=(0, 52), ratio=1, kids=[
                self.key(id, digit, letters, "backspace" if id == "button_backspace" else None)
                for id, digit, letters in row])
            for row in rows])
        return node("node", "KeyboardContainer", size=(0, 168), kids=[
            k.fill(SURFACE), k.fill(DIVIDER, ay="MIN_SIDE", size=(0, 1)), table])

    def form_main(self):
        k = self.k
        top = node("node", size=(0, 48), kids=[
            k.text("title", TEXT, TITLE, True, text="Quillon Touch", halign="LEFT", bmin=(16, 0), bmax=(64, 0)),
            # The keys typed into the search, with the letters they stand for under them.
            node("node", "search_display", bmin=(16, 0), bmax=(64, 0), kids=[
                k.text("search_keys", TEXT, TITLE, True, halign="LEFT", ay="MIN_SIDE", bmin=(0, 3), size=(0, 26)),
                k.text("search_letters", TEXT_SECONDARY, LABEL, halign="LEFT", ay="MAX_SIDE", bmax=(0, 3),
                       size=(0, 16)),
            ]),
            k.ghost_button("btnCloseFilter", "close", BACKGROUND, ax="MAX_SIDE", ay="CENTER", bmax=(4, 0)),
            k.ghost_button("btnFilter", "search", BACKGROUND, ax="MAX_SIDE", ay="CENTER", bmax=(4, 0)),
        ])
        bottom = node("node", size=(0, 64), kids=[
            k.fill(SURFACE), k.fill(DIVIDER, ay="MIN_SIDE", size=(0, 1)),
            bound(k.ghost_button("btnMenu", "menu", SURFACE, ax="MIN_SIDE", ay="CENTER", bmin=(8, 0)), "M"),
            self.record_button(),
        ])
        lst = node("vlist", "list", ratio=1, props=scroll_borders(4, 8))
        return node(None, "FormMain", kids=[
            k.fill(BACKGROUND),
            node("vtable", kids=[top, lst, self.keyboard(), bottom]),
            # Why the list is empty: no recordings yet, or none the search finds. Over the list,
            # outside the table, so that it takes no room from the controls on a small screen.
            k.text("empty_list", TEXT_SECONDARY, BODY, wrap=True, ay="CENTER", bmin=(24, 48), bmax=(24, 64),
                   size=(0, 72)),
        ])

    def selected_look(self, fill):
        """A row the keyboard is on: its fill, and a bright bar at its start that stands out (above 3:1)."""
        k = self.k
        return node("node", "#vlist_selected", kids=[k.fill(fill), k.fill(PLAYBACK, ax="MIN_SIDE", size=(4, 0))])

    def record_row(self):
        k = self.k
        return node(None, None, size=(0, 72), kids=[
            k.fill(BACKGROUND, "#vlist_normal"),
            k.fill(PRESSED, "#vlist_pressed"),
            self.selected_look(RAISED),
            k.fill(DIVIDER, ay="MAX_SIDE", bmin=(72, 0), size=(0, 1)),
            node("image", "icon", ax="MIN_SIDE", ay="CENTER", bmin=(16, 0), size=(40, 40),
                 props=[picture(self.row_icon_picture("voice_note", False)), ("int", "alpha", "128")]),
            k.text("name", TEXT, ROW_TITLE, True, halign="LEFT", ay="MIN_SIDE", bmin=(72, 12), bmax=(16, 0),
                   size=(0, 26)),
            k.text("artist", TEXT_SECONDARY, CAPTION, halign="LEFT", ay="MAX_SIDE", bmin=(72, 0), bmax=(16, 12),
                   size=(0, 20)),
        ])

    # Recording screen ---------------------------------------------------------------------------
    def form_recording(self):
        k = self.k
        header = node("node", size=(0, 48), kids=[
            node("image", "icon", ax="MIN_SIDE", ay="CENTER", size=(40, 40),
                 props=[picture(self.row_icon_picture("memory", False)), ("int", "alpha", "128")]),
            # The title and the caller above it form one target: tapping either renames.
            self.name_button(bmin=(48, 0), bmax=(32, 0)),
            k.text("frmArtist", TEXT_SECONDARY, CAPTION, halign="LEFT", ay="MIN_SIDE", bmin=(56, 3), bmax=(40, 0),
                   size=(0, 18)),
            k.glyph("speaker_on", PLAYBACK, BACKGROUND, id="speaker", ax="MAX_SIDE"),
        ])
        elapsed = k.text("frmElapsed", TEXT, ELAPSED, True, text="0:00:00", size=(0, 48))
        info = k.text("frmInfo", TEXT_SECONDARY, CAPTION, size=(0, 18))
        left_and_size = node("htable", size=(0, 18), kids=[
            node("node", ratio=1, size=(96, 18), kids=[
                k.glyph("timer", TEXT_SECONDARY, BACKGROUND, size=16, ax="MAX_SIDE", bmax=(72, 0)),
                k.text("frmLeft", TEXT_SECONDARY, CAPTION, halign="LEFT", ax="MAX_SIDE", size=(68, 18)),
            ]),
            node("node", size=(16, 18)),
            k.text("frmSize", TEXT_SECONDARY, CAPTION, halign="LEFT", ratio=1, size=(64, 18)),
        ])
        meter = node("node", size=(0, 40), kids=[
            k.progress("pbLevel", k.bar_picture(RAISED, BACKGROUND, 10), k.bar_picture(ACCENT, RAISED, 10),
                       ay="MIN_SIDE", bmin=(0, 2), size=(0, 10)),
            self.threshold_mark(),
            k.glyph("voice", TEXT_SECONDARY, BACKGROUND, size=16, ax="MIN_SIDE", ay="MAX_SIDE", bmin=(0, 0),
                    bmax=(0, 8)),
            k.progress("pbVAS", k.track_picture(RAISED, BACKGROUND, 24),
                       k.thumb_line_picture(TEXT_SECONDARY, TEXT, BACKGROUND), ay="MAX_SIDE", bmin=(24, 0),
                       bmax=(0, 4), size=(0, 24)),
            k.slider_thumb("btnVAS", ay="MAX_SIDE", bmin=(24, 0), size=(0, 32)),
        ])
        slot = dict(ratio=1, bmin=(3, 0), bmax=(3, 0), size=(48, 56))
        bar = dict(backdrop=SURFACE)
        controls = node("htable", size=(0, 56), kids=[
            k.filled_button("btnBoost", "boost", "Boost", **bar, **slot, extra=[
                node("image", "BoostOn", ax="MAX_SIDE", ay="MIN_SIDE", bmax=(8, 0), bmin=(0, 8), size=(8, 8),
                     props=[picture(k.disc_picture(8, PLAYBACK, RAISED)), ("int", "alpha", "128")])]),
            node("node", **slot, kids=[
                k.filled_button("btnResume", "record", "Resume", glyph_colour=ACCENT, **bar),
                k.filled_button("btnPause", "pause", "Pause", **bar),
            ]),
            node("node", **slot, kids=[
                k.filled_button("btnSpeakerOff", "speaker_on", "On", style="on", **bar),
                k.filled_button("btnSpeakerOn", "speaker_off", "Off", **bar),
            ]),
            k.filled_button("btnClose", "stop", "Stop", style="accent", **bar, **slot),
        ])
        column = node("vtable", ax="CENTER", bmin=(MARGIN, 0), bmax=(MARGIN, 0), size=(COLUMN, 0), kids=[
            header, k.spacer(), elapsed, info, left_and_size, self.live_wave(), meter, k.spacer(ratio=0, height=4),
            node("node", bmin=(-3, 4), bmax=(-3, 4), size=(0, 56), kids=[controls]),
        ])
        return node(None, "FormRecording", kids=[k.fill(BACKGROUND), self.band(64), column])

    def live_wave(self):
        """The state ("Recording" beside a pulsing red dot, "Paused" or "Waiting for speech" beside a
        grey one) above the last seconds of sound, newest at the right, with the voice-activation
        threshold. It takes only room the screen has to spare: a landscape phone has none, and shows
        the state through the pause and resume buttons alone."""
        k = self.k
        dot = lambda id, fill: node("image", id, ax="MAX_SIDE", ay="CENTER", size=(12, 12),
                                    props=[picture(k.disc_picture(12, fill, BACKGROUND)), ("int", "alpha", "128")])
        # Neither asks for room: the area is what the column has to spare, and cuts them off.
        state = node("htable", ay="MIN_SIDE_NO_SIZE", bmin=(0, 8), size=(0, 24), kids=[
            node("node", ratio=1, size=(12, 24), kids=[dot("stateDotIdle", TEXT_DISABLED), dot("stateDot", ACCENT)]),
            node("node", size=(8, 24)),
            k.text("frmState", TEXT, BODY, True, halign="LEFT", ratio=1, size=(12, 24)),
        ])
        return node("clip", ratio=1, kids=[
            state,
            node("waveform", "wave", props=[
                ("point", "inset_min", "0 40"), ("point", "inset_max", "0 8"),
                colour(ACCENT, "played_color"), colour(TEXT_SECONDARY, "threshold_color"),
                ("point", "column", "3 2"), ("int", "scroll", "1")]),
        ])

    def threshold_mark(self):
        """The voice-activation threshold on the level meter: a thin line where the bar must reach."""
        k = self.k
        return node("progress", "pbVASMark", ay="MIN_SIDE", size=(0, 14), kids=[
            node("node", "#line", ax="MIN_SIDE", kids=[k.fill(TEXT, ax="MAX_SIDE", size=(2, 14))]),
        ])

    def band(self, height):
        """The full-width bar the bottom row of controls stands on, as on the main screen."""
        k = self.k
        return node("node", ay="MAX_SIDE", size=(0, height), kids=[
            k.fill(SURFACE), k.fill(DIVIDER, ay="MIN_SIDE", size=(0, 1))])

    def name_button(self, points=ROW_TITLE, **place):
        """The title of a recording; tapping it renames."""
        k = self.k
        title = lambda fg: k.text("#text", fg, points, True, halign="LEFT", ay="MAX_SIDE", bmin=(8, 0),
                                  bmax=(8, 2), size=(0, 26))
        return node("button", "btnName", **place, kids=k.looks(
            (None, [title(TEXT)]),
            (k.box_picture(PRESSED, BACKGROUND, 8), [title(TEXT)]),
            (None, [title(TEXT_DISABLED)])))

    # Playback screen ----------------------------------------------------------------------------
    def form_view(self):
        k = self.k
        header = node("node", size=(0, 48), kids=[
            k.ghost_button("btnClose", "close", BACKGROUND, ax="MIN_SIDE", ay="CENTER", bmin=(-12, 0)),
            node("image", "icon", ax="MIN_SIDE", ay="CENTER", bmin=(40, 0), size=(40, 40),
                 props=[picture(self.row_icon_picture("memory", False)), ("int", "alpha", "128")]),
            self.name_button(TITLE, bmin=(88, 0), bmax=(40, 0)),
            k.text("frmArtist", TEXT_SECONDARY, CAPTION, halign="LEFT", ay="MIN_SIDE", bmin=(96, 3), bmax=(48, 0),
                   size=(0, 18)),
            k.ghost_button("btnMenu", "more", BACKGROUND, ax="MAX_SIDE", ay="CENTER", bmax=(-12, 0)),
        ])
        info = node("htable", size=(0, 20), kids=[
            k.text("frmSize", TEXT_SECONDARY, CAPTION, halign="RIGHT", ratio=1, size=(52, 20)),
            node("node", size=(8, 20)),
            k.text("frmInfo", TEXT_SECONDARY, CAPTION, halign="LEFT", ratio=1, size=(152, 20)),
        ])
        seek = node("node", size=(0, 32), kids=[
            k.progress("pbPosition", k.track_picture(RAISED, BACKGROUND, 24),
                       k.thumb_line_picture(PLAYBACK, PLAYBACK, BACKGROUND), ay="CENTER", size=(0, 24)),
            k.slider_thumb("btnPosition"),
        ])
        # The output level stands on end beside a speaker, so it is never read as a second
        # progress bar.
        times = node("htable", size=(0, 20), kids=[
            k.text("frmElapsed", TEXT, CAPTION, True, halign="LEFT", size=(72, 20)),
            node("node", ratio=1, kids=[
                k.glyph("speaker_on", TEXT_SECONDARY, BACKGROUND, size=16, ax="CENTER", bmax=(14, 0)),
                node("progress", "pbLevel", ax="CENTER", ay="CENTER", bmin=(14, 0), size=(6, 18), kids=[
                    k.fill(RAISED, bmin=(1, 0), bmax=(1, 0)), k.fill(PLAYBACK, "#line", ay="MAX_SIDE", size=(6, 9))]),
            ]),
            k.text("frmLeft", TEXT_SECONDARY, CAPTION, halign="RIGHT", size=(72, 20)),
        ])
        # The whole recording, the played part in the playback blue: tapped or dragged, it seeks.
        wave = node("clip", ratio=1, kids=[
            node("waveform", "wave", props=[
                ("point", "inset_min", "0 8"), ("point", "inset_max", "0 8"), colour(PLAYBACK, "played_color"), colour(PRESSED, "color"), colour(TEXT, "cursor_color"),
                ("point", "column", "3 1")]),
            k.slider_thumb("btnWave"),
        ])
        # Speed and skipping silence beside play, where they cost no height.
        side = dict(ay="CENTER", size=(72, 48))
        play = node("node", size=(0, 64), kids=[
            k.filled_button("btnSpeed", None, "1\u00d7", ax="MIN_SIDE", label_points=BODY, **side),
            self.wrapped_button("btnSkipSilence", "Skip", ax="MAX_SIDE", **side, extra=[
                node("image", "SkipOn", ax="MAX_SIDE", ay="MIN_SIDE", bmax=(6, 0), bmin=(0, 6), size=(8, 8),
                     props=[picture(k.disc_picture(8, PLAYBACK, RAISED)), ("int", "alpha", "128")])]),
            k.round_button("btnPlay", "play", 64, ax="CENTER", ay="CENTER"),
            k.round_button("btnPause", "pause", 64, ax="CENTER", ay="CENTER"),
        ])
        volume = node("node", bmin=(0, 4), bmax=(0, 4), size=(0, 40), kids=[
            k.glyph("speaker_on", TEXT_SECONDARY, SURFACE, ax="MIN_SIDE"),
            k.progress("pbVolume", k.track_picture(PRESSED, SURFACE, 24),
                       k.thumb_line_picture(TEXT_SECONDARY, TEXT, SURFACE), ay="CENTER", bmin=(36, 0),
                       size=(0, 24)),
            k.slider_thumb("btnVolume", bmin=(36, 0)),
        ])
        column = node("vtable", ax="CENTER", bmin=(MARGIN, 0), bmax=(MARGIN, 0), size=(COLUMN, 0), kids=[
            header, k.spacer(), info, wave, seek, times, k.spacer(ratio=0, height=4), play, volume,
        ])
        return node(None, "FormView", kids=[k.fill(BACKGROUND), self.band(48), column])

    def wrapped_button(self, id, label, extra=(), **place):
        """A small tonal button whose label may take two lines."""
        k = self.k
        text = lambda fg: k.text("#text", fg, LABEL, True, wrap=True, bmin=(4, 0), bmax=(4, 0))
        looks = k.looks((k.box_picture(RAISED, BACKGROUND), [text(TEXT)]),
                        (k.box_picture(PRESSED, BACKGROUND), [text(TEXT)]),
                        (k.box_picture(SURFACE, BACKGROUND), [text(TEXT_DISABLED)]))
        return node("button", id, props=[("string", "text", quote(label))], kids=looks + list(extra), **place)

    # Menus ----------------------------------------------------------------------------------------
    def form_menu(self):
        k = self.k
        panel = node("node", "panel", ax="CENTER", ay="MAX_SIDE", size=(SHEET_WIDTH, 0),
                     props=[("string", "visibility_animation", "bottom")], kids=[
                         k.image(k.sheet_picture(SHEET, BACKGROUND)),
                         node("vtable", bmin=(0, 8), bmax=(0, 8), kids=[
                             k.text("caption", TEXT_SECONDARY, CAPTION, True, halign="LEFT", bmin=(20, 0),
                                    bmax=(24, 0), size=(0, 40)),
                             node("vlist", "vlist", ratio=1, size=(0, 56),
                                  props=[("int", "grow", "1")] + scroll_borders(0, 0)),
                         ])])
        return node(None, "Menu", kids=[panel])

    def menu_row(self, fg, pressed=True):
        k = self.k
        return node(None, None, size=(0, 56), kids=[
            k.fill(SHEET, "#vlist_normal"),
            k.fill(PRESSED if pressed else SHEET, "#vlist_pressed"),
            self.selected_look(RAISED) if pressed else k.fill(SHEET, "#vlist_selected"),
            k.fill(DIVIDER, "separator", ay="MIN_SIDE", bmin=(16, 0), bmax=(16, 0), size=(0, 1)),
            k.text("#text", fg, BODY, halign="LEFT", wrap=True, bmin=(20, 0), bmax=(48, 0)),
            k.glyph("check", PLAYBACK, SHEET, id="checked", ax="MAX_SIDE", bmax=(16, 0)),
        ])

    def menu_four_buttons(self):
        k = self.k
        cell = dict(ratio=1, bmin=(2, 0), bmax=(2, 0), size=(56, 64))
        return node(None, None, size=(0, 80), kids=[
            k.fill(SHEET, "#vlist_normal"),
            node("htable", bmin=(6, 8), bmax=(6, 8), kids=[
                k.filled_button(id, glyph, id, style="ghost", backdrop=SHEET, **cell)
                for id, glyph in (("About", "info"), ("Help", "help"), ("Minimize", "minimize"), ("Exit", "exit"))
            ]),
        ])

    # Dialogs ------------------------------------------------------------------------------------
    def card(self, kids, height):
        k = self.k
        return node("node", "panel", ax="CENTER", ay="CENTER", bmin=(16, 16), bmax=(16, 16),
                    size=(DIALOG, height), props=[("string", "visibility_animation", "pop")], kids=[
                        k.image(k.box_picture(SHEET, BACKGROUND, 16))] + kids)

    def dialog_buttons(self, buttons):
        return node("htable", ay="MAX_SIDE", bmin=(16, 0), bmax=(16, 16), size=(0, 48), kids=buttons)

    def form_confirmation(self):
        k = self.k
        slot = dict(ratio=1, bmin=(4, 0), bmax=(4, 0), size=(96, 48))
        return node(None, "FormConfirmation", kids=[self.card([
            k.glyph("delete", ACCENT_TEXT, SHEET, ax="MIN_SIDE", ay="MIN_SIDE", bmin=(24, 24)),
            k.text("text", TEXT, BODY, wrap=True, halign="LEFT", valign="TOP", bmin=(24, 60), bmax=(24, 80)),
            self.dialog_buttons([
                k.filled_button("btnCancel", label="Cancel", backdrop=SHEET, label_points=BODY, **slot),
                k.filled_button("btnOk", label="Delete", style="accent", backdrop=SHEET, label_points=BODY, **slot),
            ])], 216)])

    def form_question(self):
        k = self.k
        slot = dict(ratio=1, bmin=(4, 0), bmax=(4, 0), size=(96, 48))
        return node(None, "FormQuestion", kids=[self.card([
            k.glyph("info", ACCENT_TEXT, SHEET, ax="MIN_SIDE", ay="MIN_SIDE", bmin=(24, 24)),
            k.text("text", TEXT, BODY, wrap=True, halign="LEFT", valign="TOP", bmin=(24, 60), bmax=(24, 80)),
            self.dialog_buttons([
                k.filled_button("btnCancel", label="Cancel", backdrop=SHEET, label_points=BODY, **slot),
                k.filled_button("btnOk", label="OK", style="play", backdrop=SHEET, label_points=BODY, **slot),
            ])], 264)])

    def form_error(self):
        k = self.k
        return node(None, "FormError", kids=[self.card([
            k.glyph("info", ACCENT_TEXT, SHEET, ax="MIN_SIDE", ay="MIN_SIDE", bmin=(24, 24)),
            k.text("text", TEXT, BODY, wrap=True, halign="LEFT", valign="TOP", bmin=(24, 60), bmax=(24, 80)),
            self.dialog_buttons([
                k.filled_button("btnClose", label="Close", backdrop=SHEET, label_points=BODY, ratio=1,
                                bmin=(4, 0), bmax=(4, 0), size=(96, 48)),
            ])], 216)])

    def form_about(self):
        k = self.k
        logo = k.p.add("about_logo", "".join([
            '<rect width="48" height="48" rx="12" fill="%s"/>' % RAISED,
            '<circle cx="24" cy="24" r="14.5" fill="none" stroke="%s" stroke-width="2"/>' % TEXT,
            '<circle cx="24" cy="24" r="10.5" fill="%s"/>' % ACCENT,
        ]), 48, 48, SHEET)
        return node(None, "FormAbout", kids=[self.card([
            k.image(logo, ax="MIN_SIDE", ay="MIN_SIDE", bmin=(24, 24), size=(48, 48)),
            k.text("version", TEXT, TITLE, True, halign="LEFT", ay="MIN_SIDE", bmin=(84, 36), bmax=(24, 0),
                   size=(0, 28)),
            k.text("text", TEXT, BODY, wrap=True, halign="LEFT", valign="TOP", bmin=(24, 88), bmax=(24, 80)),
            self.dialog_buttons([
                k.filled_button("btnClose", label="Close", backdrop=SHEET, label_points=BODY, ratio=1,
                                bmin=(4, 0), bmax=(4, 0), size=(96, 48)),
            ])], 360)])

    def form_edit(self):
        k = self.k
        field = k.image(k.box_picture(RAISED, BACKGROUND, 12), size=(0, 56), kids=[
            node("edit", "edit", bmin=(16, 8), bmax=(16, 8),
                 props=[("font", "font", "%d 0 0 0 DejaVu Sans" % ROW_TITLE), colour(TEXT),
                        colour(RAISED, "background_color"), ("string", "halign", "LEFT")]),
        ])
        slot = dict(ratio=1, bmin=(4, 0), bmax=(4, 0), size=(96, 48))
        column = node("vtable", ax="CENTER", bmin=(MARGIN, 0), bmax=(MARGIN, 0), size=(COLUMN, 0), kids=[
            # A third of the free height above, two below: clear of a soft keyboard rising from the bottom.
            k.spacer(),
            node("node", size=(0, 56), kids=[
                k.glyph("pencil", TEXT_SECONDARY, BACKGROUND, ax="MIN_SIDE"),
                k.text(None, TEXT, TITLE, True, text="Rename", halign="LEFT", bmin=(36, 0)),
            ]),
            field,
            k.spacer(ratio=0, height=16),
            node("htable", size=(0, 48), bmin=(-4, 0), bmax=(-4, 0), kids=[
                k.filled_button("btnCancel", label="Cancel", label_points=BODY, **slot),
                k.filled_button("btnOk", label="OK", style="play", label_points=BODY, **slot),
            ]),
            k.spacer(), k.spacer(),
        ])
        return node(None, "FormEdit", kids=[k.fill(BACKGROUND), column])

    # Quick-record options -------------------------------------------------------------------------
    def form_quick_record(self):
        k = self.k
        body = node("vtable", bmin=(0, 16), bmax=(0, 16), kids=[
            k.text("text", TEXT, BODY, wrap=True, text="SelectButton", halign="LEFT", valign="TOP",
                   bmin=(24, 0), bmax=(24, 0), size=(0, 64)),
            node("vlist", "list", ratio=1, props=scroll_borders(0, 0)),
            node("node", size=(0, 8)),
            node("node", size=(0, 48), kids=[
                k.filled_button("btnOk", label="OK", style="play", backdrop=SHEET, label_points=BODY,
                                ax="MAX_SIDE", bmax=(16, 0), size=(120, 48)),
            ]),
            node("node", "icon_color", ax="MIN_SIDE", ay="MIN_SIDE", props=[colour(RAISED)]),
        ])
        return node(None, "QuickRecord", kids=[self.card([body], 400)])

    def hardware_key_row(self):
        k = self.k
        return node(None, None, size=(0, 64), kids=[
            k.fill(SHEET, "#vlist_normal"),
            k.fill(PRESSED, "#vlist_pressed"),
            self.selected_look(RAISED),
            node("image", "icon", ax="MIN_SIDE", ay="CENTER", bmin=(20, 0), size=(32, 32)),
            k.text("name", TEXT, BODY, halign="LEFT", ay="MIN_SIDE", bmin=(68, 8), bmax=(56, 0), size=(0, 26)),
            k.text("runs", TEXT_SECONDARY, CAPTION, halign="LEFT", ay="MAX_SIDE", bmin=(68, 0), bmax=(56, 8),
                   size=(0, 20)),
            node("image", "checked", ax="MAX_SIDE", ay="CENTER", bmax=(20, 0), size=(24, 24),
                 props=[picture(k.disc_picture(24, PLAYBACK, SHEET, "check", SHEET, 16)), ("int", "alpha", "128")]),
            node("image", "unchecked", ax="MAX_SIDE", ay="CENTER", bmax=(20, 0), size=(24, 24),
                 props=[picture(k.ring_picture(24, TEXT_SECONDARY, SHEET)), ("int", "alpha", "128")]),
        ])

    # The two skins --------------------------------------------------------------------------------
    def default_elements(self):
        menu_rows = [("MenuElement", self.menu_row(TEXT)),
                     ("MenuElementDisabled", self.menu_row(TEXT_DISABLED, pressed=False)),
                     ("MenuElementRed", self.menu_row(ACCENT_TEXT)),
                     ("MenuElementRedDisabled", self.menu_row(TEXT_DISABLED, pressed=False)),
                     ("MenuElement4Buttons", self.menu_four_buttons())]
        return ([("FormMain", self.form_main()), ("Record", self.record_row())] + self.row_icons() +
                [("filtered_color", node(None, props=[colour(MATCH)])),
                 ("FormRecording", self.form_recording()), ("FormView", self.form_view()),
                 ("Menu", self.form_menu())] + menu_rows +
                [("FormConfirmation", self.form_confirmation()), ("FormQuestion", self.form_question()),
                 ("FormError", self.form_error()),
                 ("FormEdit", self.form_edit()), ("FormAbout", self.form_about()), ("QuickRecord", self.form_quick_record()),
                 ("HardwareKey", self.hardware_key_row())])

    def splash_elements(self):
        k = self.k
        logo = k.p.add("splash_logo", "".join([
            '<rect width="112" height="112" rx="28" fill="%s"/>' % RAISED,
            '<circle cx="56" cy="56" r="34" fill="none" stroke="%s" stroke-width="4"/>' % TEXT,
            '<circle cx="56" cy="56" r="25" fill="%s"/>' % ACCENT,
        ]), 112, 112, BACKGROUND)
        # The language is not loaded yet while the splash shows: its texts are plain.
        return [("FormSplash", node(None, "FormSplash", kids=[
            k.fill(BACKGROUND),
            k.image(logo, "logo", ax="CENTER", ay="CENTER", bmax=(0, 56), size=(112, 112)),
            k.text("caption", TEXT, TITLE + 3, True, text="Quillon Touch", ay="CENTER", bmin=(16, 120),
                   bmax=(16, 0), size=(0, 32)),
        ]))]
