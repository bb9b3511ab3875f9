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


def table(name):
    lines = subprocess.run(["msiinfo", "export", package, name], capture_output=True, text=True,
                           check=True).stdout.splitlines()[3:]
    return [line.split("\t") for line in lines]


def check(what, found, expected):
    if found != expected:
        failures.append(f"{what}: {found}, not {expected}")


# A program the package installs (18); 0x40 its exit code ignored, 0x100 rollback, 0x200 commit,
# 0x400 deferred, 0x800 as SYSTEM. Immediate actions run as the user: 0x800 is not allowed there.
BITS = {0x40: "ignore exit code", 0x100: "rollback", 0x200: "commit", 0x400: "deferred",
        0x800: "no impersonation"}
deferred, rollback = {"deferred", "no impersonation"}, {"deferred", "no impersonation", "rollback"}
actions = {  # name: (type without the bits, bits, command, where it runs)
    "CheckBrightness": (1, set(), None, "before LaunchConditions"),
    "UseInstalledFolder": (51, set(), None, "before CostFinalize"),
    "CheckInstallFolder": (1, set(), None, "after CostFinalize"),
    "RegisterTaskRollback": (18, rollback | {"ignore exit code"}, "task-delete", "installing"),
    "RegisterTask": (18, deferred, 'task-register "[INSTALLDIR]."', "installing"),
    "AddToPathRollback": (18, rollback | {"ignore exit code"}, "path-remove /RECORDED", "installing"),
    "AddToPath": (18, deferred | {"ignore exit code"}, 'path-add "[INSTALLDIR]." /RECORD', "installing"),
    "SetBrightness": (18, deferred | {"commit", "ignore exit code"},
                      'run 60000 "[INSTALLDIR]light.exe" [BRIGHTNESS]', "installing"),
    "DeleteTaskRollback": (18, rollback | {"ignore exit code"}, 'task-register "[INSTALLDIR]."',
                           "uninstalling"),
    "DeleteTask": (18, deferred, "task-delete", "uninstalling"),
    "RemoveFromPathRollback": (18, rollback | {"ignore exit code"}, 'path-add "[INSTALLDIR]." /RECORD',
                               "uninstalling"),
    "RemoveFromPath": (18, deferred | {"ignore exit code"}, "path-remove /RECORDED", "uninstalling"),
}
found = {row[0]: row for row in table("CustomAction")}
check("custom actions", sorted(found), sorted(actions))
sequence = {row[0]: (int(row[2]), row[1]) for row in table("InstallExecuteSequence")}
position = {name: place for name, (place, _) in sequence.items()}
order = sorted(position, key=position.get)
for name, (base, bits, command, where) in actions.items():
    if name not in found or name not in position:
        continue
    number = int(found[name][1])
    check(f"{name}: type", number & 0x3F, base)
    check(f"{name}: bits", {word for bit, word in BITS.items() if number & bit}, bits)
    if command:
        check(f"{name}: command", found[name][3], command)
    after, before = {"installing": ("InstallFiles", "InstallFinalize"),
                     # before the helper and the PATH entry's record are removed
                     "uninstalling": ("RemoveExistingProducts", "RemoveRegistryValues"),
                     "before LaunchConditions": ("AppSearch", "LaunchConditions"),
                     "before CostFinalize": ("AppSearch", "CostFinalize"),
                     "after CostFinalize": ("CostFinalize", "InstallValidate")}[where]
    check(f"{name}: runs {where}", position[after] < position[name] < position[before], True)
    # A rollback action is scheduled right before the action it undoes, so that it is in the
    # rollback script exactly when that action ran.
    if name.endswith("Rollback"):
        check(f"{name}: right before {name[:-8]}", order[order.index(name) + 1], name[:-8])
# The earlier version is removed inside this installation's transaction, before anything else.
check("RemoveExistingProducts right after InstallInitialize",
      order[order.index("InstallInitialize") + 1], "RemoveExistingProducts")
for name in ("RegisterTask", "AddToPath", "SetBrightness", "DeleteTask", "RemoveFromPath"):
    check(f"{name}: condition", sequence[name][1], {
        "RegisterTask": "NOT Installed OR REINSTALL", "AddToPath": "NOT Installed",
        "SetBrightness": "BRIGHTNESS AND NOT Installed"}.get(name, 'REMOVE~="ALL"'))

properties = dict((row[0], row[1]) for row in table("Property"))
check("SecureCustomProperties", set(properties.get("SecureCustomProperties", "").split(";")),
      {"BRIGHTNESS", "INSTALLDIR", "NEWERFOUND", "OLDERFOUND"})
check("per machine", properties.get("ALLUSERS"), "1")

# Versioned programs carry their version and no hash, as Windows Installer compares them.
def file_version(program):
    resource = subprocess.run(["wrestool", "-x", "--raw", "-t16", program], capture_output=True,
                              check=True).stdout
    at = resource.index(struct.pack("<I", 0xFEEF04BD))
    most, least = struct.unpack_from("<II", resource, at + 8)
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"

versions = {row[0]: row[4] for row in table("File")}
for key, program in programs.items():
    check(f"{key}: File.Version", versions.get(key), file_version(program))
hashed = {row[0] for row in table("MsiFileHash")}
check("hashed files", hashed, set(versions) - set(programs))
check("removed on uninstallation", [row[1:] for row in table("RemoveFile")],
      [["Program", "light-task.xml", "INSTALLDIR", "2"]])
check("registry key removed on uninstallation",
      [row[2:4] for row in table("Registry") if row[3] == "-"], [["SOFTWARE\\Orvane\\Light", "-"]])
summary = subprocess.run(["msiinfo", "suminfo", package], capture_output=True, text=True,
                         check=True).stdout
check("for x64", "Template: x64;1033" in summary, True)

print("\n".join(failures) or "the package's tables: as Windows Installer needs them")
sys.exit(1 if failures else 0)
