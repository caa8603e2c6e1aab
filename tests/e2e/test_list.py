"""The listing mode: manifests installed under the program data folder, read,
validated against real test plugins, and printed. Report lines are compared
whole; log lines are compared whole except for their timestamp."""

import errno
import json
import ntpath
import os
import posixpath
import re
import shutil

import pytest

from conftest import CODE_PAGE, FOLDER_NAMES, IS_WINDOWS, LIBRARY_SUFFIX, PLUGIN_DIR, native_path, plugin

TIMESTAMP = r"\d{8} \d{1,2}:\d{2}:\d{2}\.\d{3}"
DISCOVERY = " --- [Orvel::Tracking::PluginDiscovery::findManifestFiles] "
GUID = "{6F9619FF-8B86-D011-B42D-00C04FC964FF}"

TRACKING = "Manifest references tracking plugin:"
MOTION = "Manifest references motion platform plugin:"
INVALID_TRACKING = "Manifest references invalid tracking plugin:"
INVALID_MOTION = "Manifest references invalid motion platfrom plugin:"
FAILED_READ = "Failed to read plugin manifest:"
VERSION_TEXT = "Plugin DLL version is not compatible with Orvel plugin API ver 4.16.0.0"


class Log:
    """A log line: any timestamp, then exactly `text`, then what `tail` (a regex) matches."""

    def __init__(self, text, tail="", lead=TIMESTAMP, shown="<timestamp>"):
        self.text = text
        self.shown = shown
        self.pattern = re.compile(lead + re.escape(text) + tail)

    def render(self, actual):
        return actual if self.pattern.fullmatch(actual) else self.shown + self.text


def why(text, tail=""):
    """An explanation line: exactly `text` after the prefix, then what `tail` (a regex) matches."""
    return Log("  Why: " + text, tail, lead="", shown="")


def info(message):
    return Log(DISCOVERY + message)


def missing_export(name):
    # The reason is the loader's own text (dlerror, or the system message).
    return Log(" ERR [Orvel::DynamicLibrary::loadFunctionAddress] Unable to load function " + name
               + " because of error: '", r".+'")


def load_failure(path):
    return Log(" ERR [Orvel::DynamicLibrary::DynamicLibrary] Unable to load DLL '" + path + "' because of error: '",
               r".+'")


def quoted(path):
    """A path as the stream operator of a file-system path writes it."""
    return '"' + path.replace("\\", "\\\\").replace('"', '\\"') + '"'


def found_line(path):
    """The Found line as read back from standard output. Windows writes the path
    in the ANSI code page (the known one of the harness), a character it lacks
    as "?"; the output is read as UTF-8, so such bytes read as replacement
    characters."""
    line = "Found manifest file: " + quoted(path)
    if IS_WINDOWS:
        return line.encode(CODE_PAGE, errors="replace").decode("utf-8", errors="replace")
    return line


def manifest(path, **fields):
    document = {
        "manifestFileVersion": "1.0.0.0",
        "ID": GUID,
        "vendorName": "Acme Tracking",
        "productName": "Head Tracker",
        "path": path,
    }
    for key, value in fields.items():
        if value is None:
            document.pop(key, None)
        else:
            document[key] = value
    return json.dumps(document, ensure_ascii=False, indent=2)


def plugin_block(heading, path, vendor="Acme Tracking", product="Head Tracker", guid=GUID):
    return [heading,
            "  Vendor:           " + vendor,
            "  Product Name:     " + product,
            "  Path:             " + path,
            "  GUID:             " + guid,
            ""]


class Installation:
    """Manifest files under the program data folder, each with the lines the
    listing must print for it (standard output) and its errors (standard error)."""

    def __init__(self, program_data, plugins=None):
        self.program_data = program_data
        # The folder searched: the one under the program data folder, or one
        # that --plugins-dir names (given here as seen from Linux).
        self.plugins = plugins or program_data.plugins
        self.entries = set()  # native paths of the entries in the plugins folder
        self.manifests = {}  # native manifest path -> (stdout lines, stderr lines)
        self.plugins.mkdir(parents=True)

    def add(self, vendor, name, content, stdout, stderr=()):
        file = self.plugins / vendor / name
        file.parent.mkdir(parents=True, exist_ok=True)
        file.write_bytes(content.encode("utf-8"))
        self.entries.add(self.native(file.parent))
        self.manifests[self.native(file)] = (list(stdout), list(stderr))

    def add_ignored(self, relative, folder=False):
        """A file or folder that the search must pass over."""
        path = self.plugins / relative
        if folder:
            path.mkdir(parents=True, exist_ok=True)
        else:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text("{}")
        self.entries.add(self.native(self.plugins / relative.split("/")[0]))

    def native(self, path):
        if self.plugins != self.program_data.plugins:
            return native_path(path)
        return self.program_data.native(path)

    def check(self, result, preamble=()):
        """Compares the whole output. The file system's enumeration order is
        taken from the program's log lines, after checking that they name
        exactly the installed entries."""
        lines = result.stdout.split("\n")
        assert lines[-1] == "", "output ends with a line end"
        lines = lines[:-1]
        vendors = logged(lines, "Plugin vendor directory: ")
        assert sorted(vendors) == sorted(self.entries)
        found = logged(lines, "Found plugin manifest file: ")
        assert sorted(found) == sorted(self.manifests)

        dirname = ntpath.dirname if IS_WINDOWS else posixpath.dirname
        expected = [info("Plugin manifest directory: " + self.native(self.plugins))] + list(preamble)
        for vendor in vendors:
            expected.append(info("Plugin vendor directory: " + vendor))
            expected += [info("Found plugin manifest file: " + m) for m in found if dirname(m) == vendor]
        errors = []
        for m in found:
            expected += ["", found_line(m)] + self.manifests[m][0]
            errors += ["ERROR: " + text for text in self.manifests[m][1]]
        assert_lines(lines, expected)
        assert result.stderr == "".join(line + "\n" for line in errors)
        assert result.status == 0


def logged(lines, message):
    pattern = re.compile(TIMESTAMP + re.escape(DISCOVERY + message) + "(.*)")
    return [m.group(1) for m in map(pattern.fullmatch, lines) if m]


def assert_lines(lines, expected):
    rendered = []
    for index, want in enumerate(expected):
        actual = lines[index] if index < len(lines) else ""
        rendered.append(want.render(actual) if isinstance(want, Log) else want)
    assert lines == rendered


@pytest.fixture
def installed(program_data):
    return Installation(program_data)


def list_plugins(verifier, program_data, env=None, options=(), cwd=None):
    return verifier.run(*options, "--list", env={**program_data.env, **(env or {})}, cwd=cwd)


def test_nothing_installed_prints_only_the_folder_line(verifier, program_data):
    result = list_plugins(verifier, program_data)
    assert_lines(result.stdout.split("\n"),
                 [info("Plugin manifest directory: " + program_data.native(program_data.plugins)), ""])
    assert result.stderr == ""
    assert result.status == 0


def test_only_manifest_files_in_vendor_folders_are_listed(verifier, program_data, installed):
    installed.add_ignored("stray.manifest")
    installed.add_ignored("Acme/notes.txt")
    installed.add_ignored("Acme/upper.MANIFEST")
    installed.add_ignored("Acme/.manifest")
    installed.add_ignored("Acme/old.manifest.bak")
    installed.add_ignored("Acme/nested/deep.manifest")
    installed.add_ignored("Acme/folder.manifest", folder=True)
    installed.add_ignored("Empty", folder=True)
    installed.add("Acme", "tracker.manifest", manifest(plugin("tracking_ok")),
                  plugin_block(TRACKING, plugin("tracking_ok")))
    installed.check(list_plugins(verifier, program_data))


@pytest.mark.parametrize("variant, heading, vendor", [
    ("tracking_ok", TRACKING, "Acme Tracking"),
    ("motion_ok", MOTION, "Moving Seats GmbH, Z\u00fcrich"),  # printed as its UTF-8 bytes
])
def test_valid_plugin_prints_vendor_product_path_and_guid(verifier, program_data, installed, variant, heading, vendor):
    installed.add("Vendor", "plugin.manifest", manifest(plugin(variant), vendorName=vendor, icon="x.png"),
                  plugin_block(heading, plugin(variant), vendor=vendor))
    installed.check(list_plugins(verifier, program_data))


def test_every_manifest_is_listed_whatever_fails_before_it(verifier, program_data, installed):
    absent = native_path(PLUGIN_DIR / ("absent" + LIBRARY_SUFFIX))
    installed.add("Acme", "valid.manifest", manifest(plugin("tracking_ok")),
                  plugin_block(TRACKING, plugin("tracking_ok")))
    installed.add("Acme", "v2.manifest", manifest(plugin("tracking_ok"), manifestFileVersion="2.0.0.0"),
                  [FAILED_READ], ["Incompatible manifest file version: 2.0.0.0", "Manifest is not compatible"])
    installed.add("Acme", "number.manifest", manifest(plugin("tracking_ok"), vendorName=42, ID=None), [FAILED_READ],
                  ["Manifest doesn't contain mandatory field: ID", "Manifest is not compatible"])
    installed.add("Acme", "type.manifest", manifest(plugin("tracking_ok"), vendorName=42), [FAILED_READ],
                  ["Error reading manifest file: [json.exception.type_error.302] type must be string, but is number"])
    installed.add("Beta", "motion.manifest",
                  manifest(plugin("motion_ok"), vendorName="Beta", productName="Seat", ID="{B}",
                           configurationOptions={"z": {"id": "z", "label": "Z", "defaultValue": "1", "type": "int"}}),
                  plugin_block(MOTION, plugin("motion_ok"), vendor="Beta", product="Seat", guid="{B}"))
    installed.add("Beta", "no-update.manifest", manifest(plugin("motion_no_update_pose")),
                  [missing_export("orvel_UpdatePose"), INVALID_MOTION], ["DLL is not a valid motion platform plugin"])
    installed.add("Beta", "v4-17.manifest", manifest(plugin("tracking_api_4_17")), [INVALID_TRACKING], [VERSION_TEXT])
    installed.add("Beta", "no-pose.manifest", manifest(plugin("tracking_no_hmd_pose")),
                  [missing_export("orvel_GetHMDPose"), INVALID_TRACKING], ["DLL is not a valid plugin"])
    # Neither kind: only the Found line, and the binding's log lines once for each kind detection.
    installed.add("Gamma", "type3.manifest", manifest(plugin("type3")), [])
    installed.add("Gamma", "shutdown.manifest", manifest(plugin("tracking_no_shutdown")),
                  [missing_export("orvel_PluginShutdown"), missing_export("orvel_PluginShutdown")])
    installed.add("Gamma", "absent.manifest", manifest(absent), [load_failure(absent), load_failure(absent)])
    installed.check(list_plugins(verifier, program_data))


def test_plugin_path_is_printed_as_written_and_loaded_expanded(verifier, program_data, installed):
    separator = "\\" if IS_WINDOWS else "/"
    path = "%ORVEL_E2E_PLUGIN_FOLDER%" + separator + "tracking_ok" + LIBRARY_SUFFIX
    installed.add("Vendor", "plugin.manifest", manifest(path), plugin_block(TRACKING, path))
    installed.check(list_plugins(verifier, program_data, env={"ORVEL_E2E_PLUGIN_FOLDER": native_path(PLUGIN_DIR)}))


def test_found_line_is_in_the_code_page_of_the_file_functions(verifier, program_data, installed):
    vendor = "Z\u00fcrich \u65e5\u672c"  # u-umlaut is in the known code page, the two Kanji are not
    installed.add(vendor, "tracker.manifest", manifest(plugin("tracking_ok")),
                  plugin_block(TRACKING, plugin("tracking_ok")))
    result = list_plugins(verifier, program_data)
    installed.check(result)
    file = installed.native(program_data.plugins / vendor / "tracker.manifest")
    end = b"\r\n" if IS_WINDOWS else b"\n"
    # Log lines always carry UTF-8.
    assert b"Found plugin manifest file: " + file.encode("utf-8") + end in result.raw_stdout
    if IS_WINDOWS:
        narrow = file.replace("\\", "\\\\").encode(CODE_PAGE, errors="replace")
        assert b"\\Z\xfcrich ??\\" in narrow
    else:
        narrow = file.encode("utf-8")
    assert b'Found manifest file: "' + narrow + b'"' + end in result.raw_stdout


@pytest.mark.parametrize("folder_name", FOLDER_NAMES.values(), ids=FOLDER_NAMES.keys())
def test_vendor_and_plugin_folders_beyond_ascii(verifier, program_data, installed, tmp_path, folder_name):
    # A manifest is UTF-8: its path names a plugin folder of that name when the
    # name is valid Unicode; a vendor folder can have any name.
    path = plugin("tracking_ok")
    if not any(0xDC80 <= ord(c) <= 0xDCFF for c in folder_name):  # no byte kept from a name that is not UTF-8
        (tmp_path / folder_name).mkdir()
        shutil.copy(PLUGIN_DIR / ("tracking_ok" + LIBRARY_SUFFIX), tmp_path / folder_name)
        path = native_path(tmp_path / folder_name / ("tracking_ok" + LIBRARY_SUFFIX))
    installed.add(folder_name, "tracker.manifest", manifest(path), plugin_block(TRACKING, path))
    installed.check(list_plugins(verifier, program_data))


@pytest.mark.skipif(IS_WINDOWS, reason="Windows file names cannot hold a double quote")
def test_found_line_escapes_quotes_and_backslashes(verifier, program_data, installed):
    installed.add('Ven"dor', 'a\\b"c.manifest', manifest(plugin("tracking_ok")),
                  plugin_block(TRACKING, plugin("tracking_ok")))
    result = list_plugins(verifier, program_data)
    installed.check(result)
    assert ('Found manifest file: "' + str(program_data.plugins) + '/Ven\\"dor/a\\\\b\\"c.manifest"') in result.lines


@pytest.mark.skipif(IS_WINDOWS, reason="Wine reports a link loop, like every other failure tried, as not found")
def test_failing_existence_test_of_the_plugins_folder_ends_with_minus_one(verifier, program_data):
    # The plugins folder is a link to itself: testing whether it exists fails
    # with a link loop, which is no answer to the question.
    program_data.plugins.parent.mkdir(parents=True)
    os.symlink(program_data.plugins, program_data.plugins)
    result = list_plugins(verifier, program_data)
    lines = result.lines
    assert len(lines) == 3 and lines[2] == ""
    assert_lines(lines[:1], [info("Plugin manifest directory: " + str(program_data.plugins))])
    assert re.fullmatch(r"\[Error\] Unhandled exception happened: .*" + re.escape(os.strerror(errno.ELOOP))
                        + r".*" + re.escape(str(program_data.plugins)) + r".*", lines[1]), lines[1]
    assert result.stderr == ""
    assert result.status == -1


def test_load_failure_line_carries_a_non_ascii_path(verifier, program_data, installed):
    # u-umlaut, en dash and euro sign are in the known code page, the Kanji is not.
    absent = native_path(PLUGIN_DIR / ("m\u00fcller \u2013 \u20ac \u65e5-absent" + LIBRARY_SUFFIX))
    # The whole path is written, in the narrow character set: its own bytes on
    # Linux; on Windows the ANSI code page, a character it lacks as "?", read
    # back here as UTF-8.
    logged_path = absent.encode(CODE_PAGE, errors="replace").decode("utf-8", errors="replace") if IS_WINDOWS else absent
    installed.add("Acme", "absent.manifest", manifest(absent), [load_failure(logged_path), load_failure(logged_path)])
    installed.check(list_plugins(verifier, program_data))


def load_error(path):
    """The loader's text for a library that does not exist: dlerror's own on
    Linux; on Windows the system message, which Wine words its own way."""
    if IS_WINDOWS:
        return "", r".+"
    return path + ": cannot open shared object file: No such file or directory", ""


@pytest.mark.parametrize("options", [[], ["--isolate=1"]], ids=["in process", "isolated"])
def test_explain_says_why_each_manifest_is_listed_as_it_is(verifier, program_data, installed, tmp_path, options):
    separator = "\\" if IS_WINDOWS else "/"
    absent = native_path(PLUGIN_DIR / ("absent" + LIBRARY_SUFFIX))
    relative = "nothere" + separator + "absent" + LIBRARY_SUFFIX
    current = native_path(tmp_path)
    folder = installed.native(installed.plugins / "Acme")
    neither = "the library is neither a tracking nor a motion platform plugin: "
    cases = [
        ("valid.manifest", manifest(plugin("tracking_ok")),
         plugin_block(TRACKING, plugin("tracking_ok")) + [why("listed: a tracking plugin, API version 4.16.0.0")], []),
        ("motion.manifest", manifest(plugin("motion_ok")),
         plugin_block(MOTION, plugin("motion_ok")) + [why("listed: a motion platform plugin, API version 4.16.0.0")],
         []),
        ("type3.manifest", manifest(plugin("type3")),
         [why(neither + "orvel_GetPluginType returned 3; 1 is a tracking plugin, 2 a motion platform plugin")], []),
        ("shutdown.manifest", manifest(plugin("tracking_no_shutdown")),
         [missing_export("orvel_PluginShutdown"), missing_export("orvel_PluginShutdown"),
          why(neither + "it lacks orvel_PluginShutdown")], []),
        ("absent.manifest", manifest(absent),
         [load_failure(absent), load_failure(absent),
          why("the library could not be loaded from " + absent + ": " + load_error(absent)[0], load_error(absent)[1])],
         []),
        ("relative.manifest", manifest(relative),
         [load_failure(relative), load_failure(relative),
          why("the library could not be loaded from " + relative + ": " + load_error(relative)[0],
              load_error(relative)[1]),
          why("the path " + relative + " is relative: it was resolved against the current folder " + current
              + ", not the manifest's folder " + folder)], []),
        ("v2.manifest", manifest(plugin("tracking_ok"), manifestFileVersion="2.0.0.0"),
         [FAILED_READ, why("the manifest was not read: Incompatible manifest file version: 2.0.0.0; "
                           "Manifest is not compatible")],
         ["Incompatible manifest file version: 2.0.0.0", "Manifest is not compatible"]),
        ("v4-17.manifest", manifest(plugin("tracking_api_4_17")),
         [INVALID_TRACKING,
          why("not valid: a tracking plugin, API version 4.17.0.0 is newer than 4.16.0.0; the runtime refuses "
              "this plugin")],
         [VERSION_TEXT]),
        ("no-pose.manifest", manifest(plugin("tracking_no_hmd_pose")),
         [missing_export("orvel_GetHMDPose"), INVALID_TRACKING,
          why("not valid: a tracking plugin, API version 4.16.0.0, lacking orvel_GetHMDPose")],
         ["DLL is not a valid plugin"]),
    ]
    if not IS_WINDOWS:
        # A relative path is loaded from the current folder, wherever the manifest lies.
        (tmp_path / "lib").mkdir()
        shutil.copy(PLUGIN_DIR / "tracking_ok.so", tmp_path / "lib")
        cases.append(("local.manifest", manifest("lib/tracking_ok.so"),
                      plugin_block(TRACKING, "lib/tracking_ok.so")
                      + [why("listed: a tracking plugin, API version 4.16.0.0"),
                         why("the path lib/tracking_ok.so is relative: it was resolved against the current folder "
                             + current + ", not the manifest's folder " + folder)], []))
    for name, content, stdout, stderr in cases:
        installed.add("Acme", name, content, stdout, stderr)
    installed.check(list_plugins(verifier, program_data, options=options + ["--explain=1"], cwd=tmp_path))


def test_explain_tells_the_search_problem_that_the_listing_keeps_to_itself(verifier, program_data):
    folder = program_data.native(program_data.plugins)
    result = list_plugins(verifier, program_data, options=["--explain=1"])
    assert_lines(result.lines, [
        info("Plugin manifest directory: " + folder),
        why("the search for manifests found none: Error when searching manifest files: Path '" + folder
            + "' does not exist"),
        ""])
    assert result.stderr == ""
    assert result.status == 0


@pytest.mark.parametrize("options", [[], ["--explain=0"], ["--explain=1", "--explain=0"], ["--list", "--explain=1"]],
                         ids=["absent", "0", "last wins", "after --list"])
def test_without_explain_the_listing_is_unchanged(verifier, program_data, installed, options):
    installed.add("Acme", "valid.manifest", manifest(plugin("tracking_ok")),
                  plugin_block(TRACKING, plugin("tracking_ok")))
    installed.add("Acme", "type3.manifest", manifest(plugin("type3")), [])
    installed.check(verifier.run(*options, "--list", env=program_data.env))


def test_plugins_dir_is_searched_instead_of_the_program_data_folder(verifier, program_data, tmp_path):
    # A manifest under the program data folder that must not be listed.
    Installation(program_data).add("Other", "other.manifest", manifest(plugin("motion_ok")), [])
    tree = Installation(program_data, plugins=tmp_path / "install tree")
    tree.add("Acme", "valid.manifest", manifest(plugin("tracking_ok")), plugin_block(TRACKING, plugin("tracking_ok")))
    tree.add("Acme", "v4-17.manifest", manifest(plugin("tracking_api_4_17")), [INVALID_TRACKING], [VERSION_TEXT])
    tree.check(list_plugins(verifier, program_data, options=["--plugins-dir=" + native_path(tmp_path / "install tree")]))


def test_plugins_dir_that_does_not_exist_is_an_error(verifier, program_data, tmp_path):
    folder = native_path(tmp_path / "absent")
    result = list_plugins(verifier, program_data, options=["--plugins-dir=" + folder])
    assert_lines(result.lines, [info("Plugin manifest directory: " + folder), ""])
    assert result.stderr == "ERROR: Error when searching manifest files: Path '" + folder + "' does not exist\n"
    assert result.status == 1
