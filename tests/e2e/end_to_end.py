#!/usr/bin/env python3
"""Talvane from start to Exit, as a user meets it: the real program on a virtual X server.

The test chooses a folder of banners in the real folder dialog by typing its path, clicks,
renames in place with F2, deletes (answering No, then Yes), refreshes with F5 after a
change made behind the program's back, opens a banner with a double click, and leaves
through File > Exit. It reads what the windows say through the accessibility bus, looks at
the preview's pixels, and checks the files on disk after each step.

With --openbox the same program runs under a window manager on a 1024 x 768 screen: its
frame must come within the main window's share of the screen, the preview must have a close
box only, and a shorter scenario (browse, click, F2 rename, Del answered Yes, Exit) must hold
there too. With --wayland it runs as a native Wayland client of weston's desktop, started on
a folder given on its command line: the preview's caption, a click and an F2 rename from the
keyboard, the Delete question's own caption (dragged, then closed with its close box) and F2
again, the preview closed with its close box and shown again with the keyboard left in the
list, and File > Exit, chosen through the accessibility bus.

Usage: end_to_end.py [--openbox | --wayland] PATH_TO_TALVANE
Exits 0 when everything held, 1 on a failure, 77 when the machine cannot run a desktop.
"""

import os
import shutil
import signal
import struct
import sys
import tempfile
import time
import traceback

sys.dont_write_bytecode = True  # nothing is written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import desktop as ui  # noqa: E402
from desktop import Failure, find, find_all, role, centre, wait_for  # noqa: E402

BANNER_SIZE = 1174
FOLDER_DIALOG = "Select a folder containing the banners to view."

# Each banner has its top four rows in one colour and the bottom four in another, so the
# preview shows whether the picture is the right one and the right way up.
COLOURS = {
    "Alpha": ((0xE0, 0x20, 0x20), (0x20, 0x40, 0xE0)),
    "Beta": ((0x20, 0xC0, 0x40), (0xF0, 0xD0, 0x20)),
    "Gamma Ray": ((0x80, 0x20, 0xA0), (0xF0, 0xF0, 0xF0)),
    "Delta": ((0x10, 0x10, 0x10), (0xF0, 0x80, 0x20)),
}


def banner_bytes(top, bottom):
    """A 12x8, 8-bit BMP of exactly 1174 bytes: palette entry 0 on top, 1 below."""
    header = struct.pack("<2sIHHI", b"BM", BANNER_SIZE, 0, 0, 1078)
    info = struct.pack("<IiiHHIIiiII", 40, 12, 8, 1, 8, 0, 96, 2835, 2835, 256, 0)
    palette = bytearray(1024)
    for index, (r, g, b) in enumerate((top, bottom)):
        palette[4 * index:4 * index + 3] = bytes((b, g, r))
    rows = b"\x01" * 48 + b"\x00" * 48  # stored bottom row first
    data = header + info + bytes(palette) + rows
    assert len(data) == BANNER_SIZE
    return data


def write_banner(folder, file_name, stem):
    with open(os.path.join(folder, file_name), "wb") as out:
        out.write(banner_bytes(*COLOURS[stem]))


class Scenario:
    def __init__(self, session, folder, records):
        self.ui = session
        self.folder = folder
        self.records = records

    # ---- what the main window says ------------------------------------------------------

    def main(self):
        return self.ui.window("Talvane")

    def panel(self, key):
        """The text of the status bar panel with this key (Status, Path or Count)."""
        label = find(self.main(), lambda n: role(n) == "label" and n.get_description() == key)
        if label is None:
            raise Failure(f"no status bar panel {key}")
        return label.get_name()

    def list_view(self):
        pane = find(self.main(), lambda n: n.get_name() == "Banners" and role(n) == "filler")
        return find(pane, lambda n: role(n) in ("list", "tree", "table")
                    and n.get_state_set().contains(ui.atspi().StateType.SHOWING), depth=2)

    def entries(self):
        view = self.list_view()
        return [n.get_name() for n in find_all(view, lambda n: role(n) == "list item", depth=1)]

    def entry(self, text):
        view = self.list_view()
        return find(view, lambda n: role(n) == "list item" and n.get_name() == text, depth=1)

    def wait_panels(self, status, count, what):
        wait_for(what, lambda: self.panel("Status") == status and self.panel("Count") == count)

    def expect_entries(self, expected, what):
        wait_for(f"{what}: entries {expected}", lambda: sorted(self.entries()) == sorted(expected))

    def wait_main_active(self):
        # Keys go to the window X gives the keyboard to; the program hands it back to its
        # main window when a dialog closes.
        wait_for("the main window to be the active window", lambda: self.ui.is_active("Talvane"))

    def click_entry(self, text):
        self.ui.click(*centre(self.entry(text)))

    def preview_picture(self):
        return find(self.ui.window("Banner Preview"), lambda n: role(n) == "image")

    def expect_preview_named(self, name):
        wait_for(f"the preview picture to be named {name}",
                 lambda: self.preview_picture().get_name() == name, timeout=5)

    def preview_colours(self):
        """The colours at the middle of the top and bottom halves of the enlarged banner."""
        image = self.preview_picture()
        box = image.get_extents(ui.atspi().CoordType.SCREEN)
        if (box.width, box.height) != (36, 24):
            raise Failure(f"the preview picture is {box.width}x{box.height}, not three times 12x8")
        width, _, rgb = self.ui.screen()

        def pixel(x, y):
            at = 3 * (y * width + x)
            return tuple(rgb[at:at + 3])

        x = box.x + box.width // 2
        return pixel(x, box.y + box.height // 4), pixel(x, box.y + 3 * box.height // 4)

    def expect_preview(self, stem):
        wait_for(f"the preview to show {stem}", lambda: self.preview_colours() == COLOURS[stem],
                 timeout=5)

    def confirm_box(self):
        box = self.ui.wait_window("Confirm Deletion")
        # A click that reaches the screen before the box does lands on the blocked main
        # window and is lost; the box has the keyboard only once it is really there.
        wait_for("the confirmation to take the keyboard", lambda: self.ui.is_active("Confirm Deletion"))
        return box

    def answer(self, box, button):
        target = find(box, lambda n: role(n) == "push button" and n.get_name() == button)
        if target is None:
            raise Failure(f'the message box has no "{button}" button')
        self.ui.click(*centre(target))
        self.ui.wait_window_gone("Confirm Deletion")

    def path(self, name):
        return os.path.join(self.folder, name)

    # ---- the steps ----------------------------------------------------------------------

    def start_up_and_browse(self):
        dialog = self.ui.wait_window(FOLDER_DIALOG)
        for title in ("Talvane", "Banner Preview"):
            if self.ui.window(title) is None:
                raise Failure(f'the window "{title}" is not shown beside the folder dialog')
        if self.panel("Status") != "Ready" or self.panel("Count") != "":
            raise Failure("before a folder is chosen the status bar should read Ready, no count")
        wait_for("the folder dialog to take the keyboard", lambda: self.ui.is_active(FOLDER_DIALOG))
        field = find(dialog, lambda n: role(n) == "text")
        wait_for("the folder dialog's name field to have the focus",
                 lambda: field.get_state_set().contains(ui.atspi().StateType.FOCUSED))
        # The closing "/" leaves the name completer nothing to offer (the folder has no
        # subfolders), so no completion list is open to take the Return.
        self.ui.type(self.folder + "/")
        self.ui.key("Return")
        self.ui.wait_window_gone(FOLDER_DIALOG)
        self.wait_panels("Banners Loaded", "3 Banners", "the chosen folder's banners")
        # A file of another size, and a banner-sized file not named *.bmp, are not banners.
        self.expect_entries(["Alpha", "Beta", "Gamma Ray"], "after browsing")
        if self.panel("Path") != "":
            raise Failure("no banner was clicked yet, but the path panel shows " + self.panel("Path"))

    def roles_for_screen_readers(self):
        if role(self.main()) != "frame":
            raise Failure(f"the main window's role is {role(self.main())!r}, not a frame")
        preview = self.ui.window("Banner Preview")
        if role(preview) not in ("frame", "window", "dialog"):
            raise Failure(f"the preview window's role is {role(preview)!r}, not a window's")
        bars = find_all(self.main(), lambda n: role(n) == "status bar")
        panels = [(role(n), n.get_description()) for n in find_all(bars[0], lambda n: True, 1)[1:]] \
            if len(bars) == 1 else []
        if panels != [("label", "Status"), ("label", "Path"), ("label", "Count")]:
            raise Failure(f"{len(bars)} status bars, holding {panels}, not one with three labels")
        picture = find(preview, lambda n: role(n) == "image")
        # Nothing is previewed yet.
        if picture is None or picture.get_name() != "Banner":
            raise Failure("the empty preview picture is no image named Banner")

    def click_shows_path_and_preview(self):
        self.click_entry("Alpha")
        wait_for("the path panel to show Alpha's path",
                 lambda: self.panel("Path") == self.path("Alpha.bmp"))
        self.expect_preview("Alpha")
        self.expect_preview_named("Alpha")
        self.click_entry("Gamma Ray")
        wait_for("the path panel to follow the click",
                 lambda: self.panel("Path") == self.path("Gamma Ray.BMP"))
        self.expect_preview("Gamma Ray")
        self.expect_preview_named("Gamma Ray")

    def rename_with_f2(self):
        self.click_entry("Alpha")
        wait_for("Alpha to be previewed", lambda: self.panel("Path") == self.path("Alpha.bmp"))
        self.wait_main_active()
        self.ui.focus_log.clear()
        self.ui.key("F2")
        editor = wait_for("the in-place editor", lambda: next(
            (n for n in self.ui.focus_log if role(n) == "text"), None), timeout=5)
        wait_for("the editor to hold the current name", lambda: ui.text_of(editor) == "Alpha")
        before = open(self.path("Alpha.bmp"), "rb").read()
        self.ui.type("Renamed One")
        self.ui.key("Return")
        wait_for("Alpha.bmp to be renamed on disk",
                 lambda: os.path.exists(self.path("Renamed One.bmp")))
        if os.path.exists(self.path("Alpha.bmp")):
            raise Failure("the old file is still there after the rename")
        if open(self.path("Renamed One.bmp"), "rb").read() != before:
            raise Failure("the renamed file's content changed")
        self.expect_entries(["Renamed One", "Beta", "Gamma Ray"], "after the rename")
        if self.panel("Count") != "3 Banners":
            raise Failure("a rename changed the count to " + self.panel("Count"))

    def delete_answering_no(self):
        self.click_entry("Beta")
        wait_for("Beta to be previewed", lambda: self.panel("Path") == self.path("Beta.bmp"))
        self.wait_main_active()
        self.ui.key("Delete")
        box = self.confirm_box()
        prompt = "You are sure you wish to delete the banner named Beta.bmp?"
        if find(box, lambda n: role(n) == "label" and n.get_name() == prompt) is None:
            texts = [n.get_name() for n in find_all(box, lambda n: role(n) == "label")]
            raise Failure(f"the confirmation does not ask {prompt!r}; it shows {texts}")
        self.answer(box, "No")
        if not os.path.exists(self.path("Beta.bmp")):
            raise Failure("answering No deleted the file")
        self.expect_entries(["Renamed One", "Beta", "Gamma Ray"], "after answering No")
        if self.panel("Count") != "3 Banners":
            raise Failure("answering No changed the count to " + self.panel("Count"))

    def delete_answering_yes(self):
        if self.panel("Path") != self.path("Beta.bmp"):
            self.click_entry("Beta")
            wait_for("Beta to be previewed", lambda: self.panel("Path") == self.path("Beta.bmp"))
        self.wait_main_active()
        self.ui.key("Delete")
        self.answer(self.confirm_box(), "Yes")
        wait_for("Beta.bmp to be deleted", lambda: not os.path.exists(self.path("Beta.bmp")))
        wait_for("the count to drop", lambda: self.panel("Count") == "2 Banners")
        self.expect_entries(["Renamed One", "Gamma Ray"], "after answering Yes")
        if sorted(os.listdir(self.folder)) != ["Gamma Ray.BMP", "Renamed One.bmp", "notes.bmp",
                                                "picture.png"]:
            raise Failure(f"the folder holds {sorted(os.listdir(self.folder))}")

    def refresh_after_outside_change(self):
        write_banner(self.folder, "Delta.bmp", "Delta")
        self.wait_main_active()
        self.ui.key("F5")
        self.wait_panels("Banners Loaded", "3 Banners", "the refreshed count")
        self.expect_entries(["Delta", "Renamed One", "Gamma Ray"], "after F5")
        if self.panel("Path") != "":
            raise Failure("a refresh left the path panel showing " + self.panel("Path"))
        self.click_entry("Delta")
        self.expect_preview("Delta")

    def double_click_opens(self):
        if os.listdir(self.records):
            raise Failure("a single click already ran xdg-open")
        self.ui.click(*centre(self.entry("Renamed One")), count=2)
        wait_for("xdg-open to be run", lambda: os.listdir(self.records))
        ui.pump(0.5)  # time enough for a second opener to show up, if one was started
        runs = os.listdir(self.records)
        if len(runs) != 1:
            raise Failure(f"one double click ran xdg-open {len(runs)} times")
        with open(os.path.join(self.records, runs[0]), "rb") as record:
            cwd, *argv = [field.decode() for field in record.read().split(b"\0")[:-1]]
        if argv != [self.path("Renamed One.bmp")]:
            raise Failure(f"xdg-open was given {argv}, not the renamed banner's whole path")
        if cwd != self.folder:
            raise Failure(f"xdg-open ran in {cwd}, not in the banner's folder")

    def exit_from_menu(self):
        menu_bar = find(self.main(), lambda n: role(n) == "menu bar")
        self.ui.click(*centre(find(menu_bar, lambda n: n.get_name() == "File", depth=1)))
        exit_item = wait_for("the File menu to open", lambda: self._shown_item(menu_bar, "Exit"))
        self.ui.click(*centre(exit_item))
        self.expect_exit(0)

    def wrote_no_settings(self):
        """The folder dialog was used, yet nothing of it was saved to be read back."""
        config = self.ui.env["XDG_CONFIG_HOME"]
        left = [name for name in (os.listdir(config) if os.path.isdir(config) else [])
                if name.startswith("QtProject") or "talvane" in name.lower()]
        if left:
            raise Failure(f"the program left {left} in its settings folder")

    # ---- under a window manager ---------------------------------------------------------

    def frame_within_the_screen_share(self):
        """On 1024 x 768 the outer window, frame and caption included, is 870 x 614, centred."""
        expected = (77, 77, 870, 614)

        def outer():
            placed = self.ui.x_window("Talvane")
            if placed is None:
                return None
            (x, y, width, height), (left, right, top, bottom) = placed
            if (left, right, top, bottom) == (0, 0, 0, 0):
                raise Failure("the window manager reports no frame around the main window")
            return x - left, y - top, width + left + right, height + top + bottom

        measured = []
        try:
            wait_for("the main window's frame to fit", lambda: measured.append(outer()) or (
                measured[-1] and all(abs(a - b) <= 1 for a, b in zip(measured[-1], expected))))
        except Failure:
            raise Failure(f"the outer window is {measured[-1]} (x, y, width, height), "
                          f"not {expected} within 1 px")
        print(f"    outer window {measured[-1]}")
        # The list still ends 2 px above the status bar.
        screen = ui.atspi().CoordType.SCREEN
        pane = find(self.main(), lambda n: n.get_name() == "Banners" and role(n) == "filler")
        bar = find(self.main(), lambda n: role(n) == "status bar")

        def gap():
            above = pane.get_extents(screen)
            return bar.get_extents(screen).y - (above.y + above.height)

        wait_for("the list to end 2 px above the status bar", lambda: gap() == 2)

    def preview_centred_with_its_frame(self):
        """The preview, frame and caption included, is centred on the 1024 x 768 screen."""
        measured = []

        def outer():
            placed = self.ui.x_window("Banner Preview")
            if placed is None or placed[1] == (0, 0, 0, 0):
                return None
            (x, y, width, height), (left, right, top, bottom) = placed
            return x - left, y - top, width + left + right, height + top + bottom

        def centred():
            measured.append(outer())
            if not measured[-1]:
                return False
            x, y, width, height = measured[-1]
            return abs(x - (1024 - width) // 2) <= 1 and abs(y - (768 - height) // 2) <= 1

        try:
            wait_for("the preview to be centred with its frame", centred)
        except Failure:
            raise Failure(f"the preview's outer window is {measured[-1]} (x, y, width, height), "
                          "not centred on the screen within 1 px")
        print(f"    preview outer window {measured[-1]}")

    def preview_has_a_close_box_only(self):
        """The preview is a fixed tool window: it can be moved and closed, not minimised,
        maximised or resized."""
        actions = wait_for("the window manager to frame the preview",
                           lambda: self.ui.allowed_actions("Banner Preview"))
        unwanted = actions & {"MINIMIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT", "RESIZE", "FULLSCREEN"}
        if "CLOSE" not in actions or unwanted:
            raise Failure(f"the window manager offers {sorted(actions)} on the preview")

    # ---- natively under Wayland ---------------------------------------------------------

    def listed_from_the_command_line(self):
        self.wait_panels("Banners Loaded", "3 Banners", "the command line's folder")
        self.expect_entries(["Alpha", "Beta", "Gamma Ray"], "at start-up")
        if self.panel("Path") != "":
            raise Failure("no banner was clicked yet, but the path panel shows " + self.panel("Path"))
        if self.ui.window("Banner Preview") is None:
            raise Failure("the preview window is not shown")

    # weston places windows where it likes and tells no one: they are found on the screen.
    # The preview starts empty, a black client area of 98 x 40; Alpha's small icon is 12 x 8,
    # its top half red and its bottom half blue.

    def _find_on_screen(self, what, fits):
        width, height, rgb = self.ui.screen()

        def pixel(x, y):
            if 0 <= x < width and 0 <= y < height:
                at = 3 * (y * width + x)
                return tuple(rgb[at:at + 3])
            return None

        for y in range(height):
            for x in range(width):
                if fits(pixel, x, y):
                    return x, y
        raise Failure(f"{what} is nowhere on the screen")

    def _locate_windows(self):
        black = (0, 0, 0)

        def preview(pixel, x, y):
            return (pixel(x, y) == black and pixel(x - 1, y) != black and pixel(x, y - 1) != black
                    and all(pixel(x + i, y) == black for i in range(98))
                    and all(pixel(x, y + j) == black for j in range(40))
                    and pixel(x + 98, y) != black and pixel(x, y + 40) != black)

        top, bottom = COLOURS["Alpha"]

        def icon(pixel, x, y):
            return (pixel(x, y) == top and pixel(x - 1, y) != top and pixel(x, y - 1) != top
                    and all(pixel(x + i, y + j) == (top if j < 4 else bottom)
                            for i in range(12) for j in range(8)))

        self.preview_at = self._find_on_screen("the empty preview", preview)
        self.alpha_at = self._find_on_screen("Alpha's icon", icon)

    def preview_offers_only_a_close_box(self):
        """The fixed tool window has a caption with a close box, no minimise or maximise."""
        wait_for("the preview to be painted", lambda: self.ui.window("Banner Preview"))
        ui.pump(1.0)
        self._locate_windows()
        preview = self.ui.window("Banner Preview")
        buttons = [n.get_name() for n in find_all(preview, lambda n: role(n) == "push button")]
        if buttons != ["Close"]:
            raise Failure(f"the preview's caption offers the buttons {buttons}, not Close alone")
        print(f"    preview client at {self.preview_at}, Alpha's icon at {self.alpha_at}")

    def keys_reach_the_list_after_a_click(self):
        """A click on the list gives the main window the keyboard: F2, a name and Return
        rename the file."""
        self.ui.click(self.alpha_at[0] + 6, self.alpha_at[1] + 4)
        wait_for("the path panel to show Alpha's path",
                 lambda: self.panel("Path") == self.path("Alpha.bmp"))
        self.expect_preview_on_screen("Alpha")
        wait_for("the main window to take the keyboard", lambda: self.ui.is_active("Talvane"))
        self.ui.key("F2")
        ui.pump(0.5)
        self.ui.type("Renamed One")
        self.ui.key("Return")
        wait_for("Alpha.bmp to be renamed on disk",
                 lambda: os.path.exists(self.path("Renamed One.bmp")))
        self.expect_entries(["Renamed One", "Beta", "Gamma Ray"], "after the rename")

    def expect_preview_on_screen(self, stem):
        x, y = self.preview_at
        want = COLOURS[stem]

        def shown():
            width, _, rgb = self.ui.screen()

            def pixel(px, py):
                at = 3 * (py * width + px)
                return tuple(rgb[at:at + 3])
            # The picture lies at (32, 8) in the client area, 36 x 24.
            return (pixel(x + 50, y + 14), pixel(x + 50, y + 26)) == want
        wait_for(f"the preview to show {stem}", shown, timeout=5)

    def message_box_offers_only_a_close_box(self):
        """The Delete question draws its own caption, as the preview does: the title and a
        close box, no minimise or maximise; a drag on it moves the box. The close box answers
        No, and the list then takes the keyboard again: F2, a name and Return rename the file."""
        self.ui.click(self.alpha_at[0] + 6, self.alpha_at[1] + 4)
        wait_for("the main window to take the keyboard", lambda: self.ui.is_active("Talvane"))
        # The list may have moved the renamed banner: the one clicked is the one asked about.
        wait_for("the path panel to show the banner clicked", lambda: self.panel("Path") != "")
        clicked = self.panel("Path")
        stem = os.path.splitext(os.path.basename(clicked))[0]
        others = [e for e in self.entries() if e != stem]
        before = self.ui.screen()
        self.ui.key("Delete")
        box = self.confirm_box()
        ui.pump(0.5)
        left, top, right, bottom = self._changed_band(before)
        print(f"    message box at {left},{top} to {right},{bottom}, asking about {stem}")
        buttons = sorted(n.get_name() for n in find_all(box, lambda n: role(n) == "push button"))
        if buttons != ["Close", "No", "Yes"]:
            raise Failure(f"the message box offers the buttons {buttons}, not Close, No and Yes")
        # Nothing but the box itself is drawn: no frame of Qt's around it.
        window = ui.atspi().CoordType.WINDOW
        size = box.get_extents(window)
        if (right - left, bottom - top) != (size.width, size.height):
            raise Failure(f"the {size.width}x{size.height} message box takes "
                          f"{right - left}x{bottom - top} on the screen")
        left, top, right, bottom = self._drag_caption(before, (left, top, right, bottom))
        close = find(box, lambda n: role(n) == "push button" and n.get_name() == "Close")
        at = close.get_extents(window)
        self.ui.click(left + at.x + at.width // 2, top + at.y + at.height // 2)
        self.ui.wait_window_gone("Confirm Deletion")
        self._still_running("closing the message box")
        if not os.path.exists(clicked):
            raise Failure("closing the question with its close box deleted the file")
        # weston hands the keyboard back a moment after the box has gone.
        wait_for("the keyboard to come back to the program",
                 lambda: self.ui.is_active("Talvane") or self.ui.is_active("Banner Preview"))
        self.ui.key("F2")
        ui.pump(0.5)
        self.ui.type("Alpha Again")
        self.ui.key("Return")
        wait_for(f"{stem} to be renamed on disk",
                 lambda: os.path.exists(self.path("Alpha Again.bmp")) and not os.path.exists(clicked))
        self.expect_entries(others + ["Alpha Again"], "after the second rename")

    def _drag_caption(self, before, band):
        """Drags the window at `band` by its caption 200 pixels up and left; where it is now."""
        left, top, right, bottom = band
        x, y = left + 50, top + 8
        self.ui.move_to(x, y)
        ui.pump(0.2)
        self.ui.xdotool("mousedown", "1")
        ui.pump(0.3)
        for step in range(1, 11):
            self.ui.xdotool("mousemove", str(x - 20 * step), str(y - 20 * step))
            ui.pump(0.05)
        self.ui.xdotool("mouseup", "1")
        ui.pump(0.5)
        moved = self._changed_band(before)
        if moved != (left - 200, top - 200, right - 200, bottom - 200):
            raise Failure(f"the window dragged by its caption from {band} is at {moved}")
        return moved

    def _changed_band(self, before):
        """The widest rectangle of the screen that differs from `before`."""
        width, height, rgb = self.ui.screen()
        old = before[2]
        rows = []
        for y in range(height):
            row = slice(3 * y * width, 3 * (y + 1) * width)
            a, b = memoryview(rgb)[row], memoryview(old)[row]
            run, best, start = 0, (0, 0), 0
            for x in range(width):
                if a[3 * x:3 * x + 3] != b[3 * x:3 * x + 3]:
                    if run == 0:
                        start = x
                    run += 1
                    if run > best[1] - best[0]:
                        best = (start, start + run)
                else:
                    run = 0
            if best[1] - best[0] >= 300:
                rows.append((y, best))
        if not rows:
            raise Failure("nothing new on the screen")
        return (min(b[0] for _, b in rows), rows[0][0], max(b[1] for _, b in rows),
                rows[-1][0] + 1)

    def _still_running(self, what):
        if self.ui.program.poll() is not None:
            raise Failure(f"the program ended ({self.ui.program.returncode}) on {what}")

    def preview_shown_again_leaves_the_keyboard_in_the_list(self):
        """The close box closes the preview; View > Preview shows it again, and the arrow
        keys still move through the list."""
        preview = self.ui.window("Banner Preview")
        close = find(preview, lambda n: role(n) == "push button" and n.get_name() == "Close")
        picture = find(preview, lambda n: role(n) == "image")
        window = ui.atspi().CoordType.WINDOW
        box, origin = close.get_extents(window), picture.get_extents(window)
        x = self.preview_at[0] - (origin.x - 32) + box.x + box.width // 2
        y = self.preview_at[1] - (origin.y - 8) + box.y + box.height // 2
        self.ui.click(x, y)
        self.ui.wait_window_gone("Banner Preview")
        self._still_running("closing the preview")
        menu_bar = find(self.main(), lambda n: role(n) == "menu bar")
        item = find(menu_bar, lambda n: role(n) == "menu item" and n.get_name() == "Preview",
                    depth=3)
        ui.atspi().Action.do_action(item, 0)
        self.ui.wait_window("Banner Preview")
        ui.pump(1.0)
        shown = self.panel("Path")
        holder = "the preview" if self.ui.is_active("Banner Preview") else "the main window"
        print(f"    the keyboard is with {holder}")
        self.ui.key("Right")
        wait_for("the Right key to move to the next entry",
                 lambda: self.panel("Path") not in ("", shown))

    def exit_by_accessible_action(self):
        menu_bar = find(self.main(), lambda n: role(n) == "menu bar")
        item = find(menu_bar, lambda n: role(n) == "menu item" and n.get_name() == "Exit", depth=3)
        action = ui.atspi().Action
        names = [action.get_action_name(item, i) for i in range(action.get_n_actions(item))]
        if "Press" not in names:
            raise Failure(f"File > Exit offers the actions {names}, not Press")
        action.do_action(item, names.index("Press"))
        self.expect_exit(0)

    def expect_exit(self, code):
        started = time.monotonic()
        while self.ui.program.poll() is None:
            if time.monotonic() - started > 10:
                raise Failure("the program is still running 10 s after File > Exit")
            time.sleep(0.05)
        if self.ui.program.returncode != code:
            raise Failure(f"the program exited with code {self.ui.program.returncode}")

    def _shown_item(self, menu_bar, name):
        Atspi = ui.atspi()
        item = find(menu_bar, lambda n: role(n) == "menu item" and n.get_name() == name, depth=3)
        if item is None or not item.get_state_set().contains(Atspi.StateType.SHOWING):
            return None
        box = item.get_extents(Atspi.CoordType.SCREEN)
        return item if box.width > 0 and box.y > 0 else None


def make_folder(root):
    folder = os.path.join(root, "banners")
    os.mkdir(folder)
    write_banner(folder, "Alpha.bmp", "Alpha")
    write_banner(folder, "Beta.bmp", "Beta")
    write_banner(folder, "Gamma Ray.BMP", "Gamma Ray")
    with open(os.path.join(folder, "notes.bmp"), "wb") as out:
        out.write(banner_bytes(*COLOURS["Alpha"])[:1000])
    with open(os.path.join(folder, "picture.png"), "wb") as out:
        out.write(banner_bytes(*COLOURS["Beta"]))
    return folder


def fake_opener(root):
    """A stand-in for xdg-open: each run leaves a file holding its working folder and
    arguments, NUL-terminated, in the returned records folder."""
    bin_dir = os.path.join(root, "bin")
    records = os.path.join(root, "opened")
    os.mkdir(bin_dir)
    os.mkdir(records)
    script = os.path.join(bin_dir, "xdg-open")
    with open(script, "w") as out:
        out.write("#!/bin/sh\n"
                  f"printf '%s\\0' \"$(pwd -P)\" \"$@\" > '{root}/opening.$$'\n"
                  f"mv '{root}/opening.$$' '{records}/$$'\n")
    os.chmod(script, 0o755)
    return bin_dir, records


def steps_of(scenario, session):
    if session == "openbox":
        return [scenario.start_up_and_browse, scenario.frame_within_the_screen_share,
                scenario.preview_centred_with_its_frame, scenario.preview_has_a_close_box_only,
                scenario.click_shows_path_and_preview, scenario.rename_with_f2,
                scenario.delete_answering_yes, scenario.exit_from_menu]
    if session == "wayland":
        return [scenario.listed_from_the_command_line, scenario.preview_offers_only_a_close_box,
                scenario.keys_reach_the_list_after_a_click,
                scenario.message_box_offers_only_a_close_box,
                scenario.preview_shown_again_leaves_the_keyboard_in_the_list,
                scenario.exit_by_accessible_action]
    return [scenario.start_up_and_browse, scenario.roles_for_screen_readers,
            scenario.click_shows_path_and_preview, scenario.rename_with_f2, scenario.delete_answering_no, scenario.delete_answering_yes,
            scenario.refresh_after_outside_change, scenario.double_click_opens,
            scenario.exit_from_menu, scenario.wrote_no_settings]


def main(argv):
    kind = "x11"
    if len(argv) == 3 and argv[1] in ("--openbox", "--wayland"):
        kind = argv[1][2:]
        argv = argv[:1] + argv[2:]
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    program = os.path.abspath(argv[1])
    # Stopped from outside (a test timeout), the private servers still get stopped.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    missing = ui.missing_tools(kind)
    if missing:
        print("SKIP: no desktop session can be made here; missing: " + ", ".join(missing))
        return ui.SKIP

    root = os.path.realpath(tempfile.mkdtemp(prefix="talvane-e2e-"))
    started = time.monotonic()
    step = "starting the desktop"
    session = None
    try:
        folder = make_folder(root)
        bin_dir, records = fake_opener(root)
        home = os.path.join(root, "home")
        os.mkdir(home)
        screen = "1280x1024" if kind == "x11" else "1024x768"
        with ui.Desktop(home, kind, screen) as session:
            # Under Wayland the folder comes on the command line: the folder dialog is no
            # test of this program there.
            argv_of_program = [program, folder] if kind == "wayland" else [program]
            session.start(argv_of_program, cwd=home,
                          extra_env={"PATH": bin_dir + os.pathsep + session.env["PATH"]})
            scenario = Scenario(session, folder, records)
            for run in steps_of(scenario, kind):
                step = run.__name__
                try:
                    run()
                except Exception:
                    shot = os.path.abspath(f"end_to_end-{kind}-failure.png")
                    session.save_screenshot(shot)
                    print(f"screen at the failure: {shot}", file=sys.stderr)
                    raise
                print(f"ok  {step}  ({time.monotonic() - started:.1f} s)")
    except Exception as error:
        if not isinstance(error, Failure):
            traceback.print_exc()
        print(f"FAILED in {step}: {error}", file=sys.stderr)
        if session is not None:
            output = session.program_output()
            if output:
                print("program output:\n" + output, file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print(f"end to end ({kind}): all steps passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
