#!/usr/bin/python3
"""The Windows Installer package's tables, as msiinfo exports them, against what Windows
Installer needs of them and wixl 0.101 gets wrong unless mended: custom action types and their
bits, where each action runs, SecureCustomProperties, the programs' versions, and the rows that
remove what the helper writes. Wine does not show most of these: its msiexec runs rollback
actions in its own order and ignores the no-impersonation bit.
Usage: check_msi_tables.py <package> <light.exe> <setup-helper.exe>"""
import struct
import subprocess
import sys

package, programs = sys.argv[1], {"LightExe": sys.argv[2], "HelperExe": sys.argv[3]}
failures = []


def run(*command):
    return subprocess.run(command, capture_output=True, check=True).stdout


def table(name):
    return [line.split("\t") for line in run("msiinfo", "export", package, name).decode().splitlines()[3:]]


def check(what, found, expected):
    if found != expected:
        failures.append(f"{what}: {found}, not {expected}")


# 18: a program the package installs. Immediate actions run as the user: no 0x800 there.
BITS = {0x40: "ignore", 0x100: "rollback", 0x200: "commit", 0x400: "deferred", 0x800: "as SYSTEM"}
DEFERRED, UNDO = {"deferred", "as SYSTEM"}, {"deferred", "as SYSTEM", "rollback", "ignore"}
WINDOWS = {"installing": ("InstallFiles", "InstallFinalize"),  # after the files are there
           # before the helper and the PATH entry's record are removed
           "uninstalling": ("RemoveExistingProducts", "RemoveRegistryValues"),
           "checking": ("AppSearch", "LaunchConditions"), "choosing": ("AppSearch", "CostFinalize"),
           "resolved": ("CostFinalize", "InstallValidate")}
ACTIONS = {  # name: type without the bits, bits, command, where it runs, condition
    "CheckBrightness": (1, set(), None, "checking", "NOT Installed"),
    "UseInstalledFolder": (51, set(), None, "choosing", "LIGHTINSTALLED AND NOT INSTALLDIR"),
    "CheckInstallFolder": (1, set(), None, "resolved", "NOT Installed"),
    "RegisterTaskRollback": (18, UNDO, "task-delete", "installing", "NOT Installed"),
    "RegisterTask": (18, DEFERRED, 'task-register "[INSTALLDIR]."', "installing",
                     "NOT Installed OR REINSTALL"),
    "AddToPathRollback": (18, UNDO, "path-remove /RECORDED", "installing", "NOT Installed"),
    "AddToPath": (18, DEFERRED | {"ignore"}, 'path-add "[INSTALLDIR]." /RECORD', "installing",
                  "NOT Installed"),
    "SetBrightness": (18, DEFERRED | {"commit", "ignore"},
                      'run 60000 "[INSTALLDIR]light.exe" [BRIGHTNESS]', "installing",
                      "BRIGHTNESS AND NOT Installed"),
    "DeleteTaskRollback": (18, UNDO, 'task-register "[INSTALLDIR]."', "uninstalling", 'REMOVE~="ALL"'),
    "DeleteTask": (18, DEFERRED, "task-delete", "uninstalling", 'REMOVE~="ALL"'),
    "RemoveFromPathRollback": (18, UNDO, 'path-add "[INSTALLDIR]." /RECORD', "uninstalling",
                               'REMOVE~="ALL" AND LIGHTPATHENTRY'),
    "RemoveFromPath": (18, DEFERRED | {"ignore"}, "path-remove /RECORDED", "uninstalling",
                       'REMOVE~="ALL"'),
}
found = {row[0]: (int(row[1]), row[3]) for row in table("CustomAction")}
check("custom actions", sorted(found), sorted(ACTIONS))
sequence = {row[0]: (int(row[2]), row[1]) for row in table("InstallExecuteSequence")}
order = sorted(sequence, key=lambda name: sequence[name][0])
for name, (base, bits, command, where, condition) in ACTIONS.items():
    number, target = found.get(name, (0, None))
    place, when = sequence.get(name, (0, None))
    after, before = WINDOWS[where]
    check(f"{name}: type, bits, command and condition",
          [number & 0x3F, {word for bit, word in BITS.items() if number & bit}, command and target, when],
          [base, bits, command, condition])
    check(f"{name}: runs {where}", sequence[after][0] < place < sequence[before][0], True)
    # Right before the action it undoes: in the rollback script exactly when that action ran.
    if name.endswith("Rollback"):
        check(f"{name}: right before {name[:-8]}", order[order.index(name) + 1], name[:-8])
# The earlier version is removed inside this installation's transaction, before anything else.
check("RemoveExistingProducts right after InstallInitialize",
      order[order.index("InstallInitialize") + 1], "RemoveExistingProducts")

properties = dict(row[:2] for row in table("Property"))
check("SecureCustomProperties", set(properties.get("SecureCustomProperties", "").split(";")),
      {"BRIGHTNESS", "INSTALLDIR", "NEWERFOUND", "OLDERFOUND"})
check("per machine, for x64", [properties.get("ALLUSERS"),
                               b"Template: x64;1033" in run("msiinfo", "suminfo", package)], ["1", True])


# Versioned programs carry their own version and no hash, as Windows Installer compares them.
def file_version(program):
    resource = run("wrestool", "-x", "--raw", "-t16", program)
    most, least = struct.unpack_from("<II", resource, resource.index(struct.pack("<I", 0xFEEF04BD)) + 8)
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


versions = {row[0]: row[4] for row in table("File")}
check("File.Version", {key: versions.get(key) for key in programs},
      {key: file_version(program) for key, program in programs.items()})
check("hashed files", {row[0] for row in table("MsiFileHash")}, set(versions) - set(programs))
check("removed on uninstallation", [[row[1:] for row in table("RemoveFile")],
                                    [row[2:4] for row in table("Registry") if row[3] == "-"]],
      [[["Program", "light-task.xml", "INSTALLDIR", "2"]], [["SOFTWARE\\Orvane\\Light", "-"]]])

print("\n".join(failures) or "the package's tables: as Windows Installer needs them")
sys.exit(1 if failures else 0)
