"""Debian's chromium, headless and without network, as a reader's browser:
it loads a report from disk, gives its DOM after layout, and takes
screenshots; and PNG files read with the standard library."""

import os
import pathlib
import shutil
import struct
import subprocess
import tempfile
import zlib

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
WINDOW = (1280, 900)
TIMEOUT_SECONDS = 120

# Every network address is refused: names do not resolve, and any connection
# goes to a proxy on a closed port of this machine.
NETWORK_OFF = ["--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE localhost", "--proxy-server=127.0.0.1:9",
               "--proxy-bypass-list=<-loopback>", "--disable-background-networking", "--disable-component-update",
               "--disable-sync", "--no-first-run", "--no-default-browser-check"]

# Added by the tests to a copy of a report (the report holds no script): the
# page's layout written into the DOM, so that --dump-dom carries it.
LAYOUT_PROBE = """<script>
window.addEventListener("load", () => {
  const probe = document.createElement("pre");
  probe.id = "layout-probe";
  const root = document.documentElement;
  const charts = [...document.querySelectorAll("svg")].map(svg => {
    const box = svg.getBoundingClientRect();
    return {label: svg.getAttribute("aria-label"), width: box.width, height: box.height};
  });
  probe.textContent = JSON.stringify({scrollWidth: root.scrollWidth, clientWidth: root.clientWidth, charts});
  document.body.appendChild(probe);
});
</script>"""


def _run(args, width, height):
    with tempfile.TemporaryDirectory(prefix="orvel-chromium-") as profile:
        command = [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                   "--user-data-dir=" + profile, "--window-size=%d,%d" % (width, height),
                   # Time to lay out and paint before the page is read.
                   "--virtual-time-budget=5000", "--run-all-compositor-stages-before-draw", *NETWORK_OFF, *args]
        env = {**os.environ, "HOME": profile}
        return subprocess.run(command, capture_output=True, timeout=TIMEOUT_SECONDS, env=env, check=True)


def dom_after_layout(report: pathlib.Path, workdir: pathlib.Path) -> str:
    """The DOM of the report after layout, with the layout probe's element."""
    probed = workdir / (report.stem + "-probed.html")
    probed.write_text(report.read_text(encoding="utf-8").replace("</body>", LAYOUT_PROBE + "</body>"),
                      encoding="utf-8")
    return _run(["--dump-dom", probed.as_uri()], *WINDOW).stdout.decode("utf-8")


def screenshot(report: pathlib.Path, png: pathlib.Path, height=WINDOW[1]) -> None:
    """A screenshot of the report's top in a window 1280 px wide."""
    png.unlink(missing_ok=True)
    _run(["--screenshot=" + str(png), report.as_uri()], WINDOW[0], height)
    assert png.is_file(), "chromium wrote no screenshot"


def read_png(path: pathlib.Path):
    """(width, height, rows): each row a bytes object of RGB(A) pixels."""
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
    position, chunks = 8, {}
    while position < len(data):
        (length,), kind = struct.unpack(">I", data[position:position + 4]), data[position + 4:position + 8]
        chunks.setdefault(kind, []).append(data[position + 8:position + 8 + length])
        position += 12 + length
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"][0])
    assert depth == 8 and colour in (2, 6) and interlace == 0, "an 8-bit RGB(A) image without interlace"
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(chunks[b"IDAT"]))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif kind == 2:
            line = bytearray((a + b) & 0xFF for a, b in zip(line, previous))
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + previous[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b, c = previous[i], previous[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


def colour_counts(path: pathlib.Path) -> dict:
    """How many pixels of each RGB colour the image has."""
    width, _, channels, rows = read_png(path)
    counts = {}
    for row in rows:
        for x in range(0, width * channels, channels):
            pixel = row[x:x + 3]
            counts[pixel] = counts.get(pixel, 0) + 1
    return counts


def near(counts: dict, colour: tuple, tolerance=24) -> int:
    """Pixels within `tolerance` of the colour on every channel."""
    return sum(n for pixel, n in counts.items() if all(abs(p - c) <= tolerance for p, c in zip(pixel, colour)))
