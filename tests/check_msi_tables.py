#!/usr/bin/python3
"""The Windows Installer package's tables, as msiinfo exports them, against what Windows
Installer needs of them and wixl 0.101 gets wrong unless mended: custom action types and their
bits, where each action runs and on which state of the component, the helper run from the
Binary table, SecureCustomProperties, the programs' versions, languages and short names (ICE03,
ICE60), and the row that removes what the helper records. Wine does not show most of these: its msiexec runs rollback actions in its own
order, ignores the no-impersonation bit and runs commit actions whatever the rollback policy.
Usage: check_msi_tables.py <package> <light.exe> <setup-helper.exe>"""
import re
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


# 2: a program in the Binary table, so that a damaged installation, its helper deleted, can be
# removed; 51 sets a property. Immediate actions run as the user: no 0x800 there. No commit
# action (0x200): where rollback is disabled, those do not run.
BITS = {0x40: "ignore", 0x100: "rollback", 0x200: "commit", 0x400: "deferred", 0x800: "as SYSTEM"}
DEFERRED, UNDO = {"deferred", "as SYSTEM"}, {"deferred", "as SYSTEM", "rollback", "ignore"}
WINDOWS = {"installing": ("InstallFiles", "InstallFinalize"),  # after the files are there
           # before the helper and the PATH entry's record are removed
           "uninstalling": ("RemoveExistingProducts", "RemoveRegistryValues"),
           "repairing": ("RemoveExistingProducts", "RemoveFiles"),
           "checking": ("AppSearch", "LaunchConditions"), "choosing": ("AppSearch", "CostFinalize"),
           "resolved": ("CostFinalize", "InstallValidate"),
           # where Windows Installer itself may have disabled rollback, before the first change
           "validated": ("InstallValidate", "InstallInitialize")}
# Each step runs on the component's state, $Program (3 installed here, 2 removed) and ?Program
# (installed already), not on REMOVE, which a feature's removal does not set as an
# uninstallation does. Laid down anew: not on a repair; on an upgrade, which Windows may find
# the older product's component installed for, as on a new installation.
NEW, INSTALLING, REMOVING = "$Program=3 AND (?Program<>3 OR NOT Installed)", "$Program=3", "$Program=2"
ACTIONS = {  # name: type without the bits, bits, command or property set, where it runs, condition
    # First of all, before anything is read that a running EXE installer may be changing.
    "CheckNoOtherInstallation": (1, set(), None, "first", "NOT UPGRADINGPRODUCTCODE"),
    "CheckBrightness": (1, set(), None, "checking", ""),
    "FindInstalledFolder": (1, set(), None, "choosing", "NOT LIGHTINSTALLED"),
    "UseInstalledFolder": (51, set(), "INSTALLDIR=[LIGHTINSTALLED]", "choosing",
                           "LIGHTINSTALLED AND NOT INSTALLDIR"),
    "CheckInstallFolder": (1, set(), None, "resolved", NEW),
    "RefuseWithoutRollback": (1, set(), None, "validated",
                              NEW + ' AND (RollbackDisabled OR DISABLEROLLBACK OR LIGHTROLLBACKPOLICY = "#1")'),
    # The Apps entry names the folder.
    "SetInstallLocation": (51, set(), "ARPINSTALLLOCATION=[INSTALLDIR]", "resolved", ""),
    "RegisterTaskRollback": (2, UNDO, 'task-delete "[INSTALLDIR]."', "installing", NEW),
    "RegisterTask": (2, DEFERRED, 'task-register "[INSTALLDIR]."', "installing", INSTALLING),
    "AddToPathRollback": (2, UNDO, "path-remove /RECORDED", "installing", NEW),
    "AddToPath": (2, DEFERRED | {"ignore"}, 'path-add "[INSTALLDIR]." /RECORD', "installing",
                  "$Program=3 AND (?Program<>3 OR NOT Installed OR LIGHTPATHENTRY)"),
    "SetBrightness": (2, DEFERRED | {"ignore"}, 'run 60000 "[INSTALLDIR]light.exe" [BRIGHTNESS]',
                      "installing", "$Program=3 AND LightBrightnessValid AND (NOT Installed OR REINSTALL)"),
    # A repair replaces the files: a run of the task is ended before any is.
    "StopTask": (2, DEFERRED | {"ignore"}, 'task-stop "[INSTALLDIR]."', "repairing",
                 "$Program=3 AND ?Program=3 AND REINSTALL"),
    "DeleteTaskRollback": (2, UNDO, 'task-register "[INSTALLDIR]."', "uninstalling", REMOVING),
    "DeleteTask": (2, DEFERRED, 'task-delete "[INSTALLDIR]."', "uninstalling", REMOVING),
    "RemoveFromPathRollback": (2, UNDO, 'path-add "[INSTALLDIR]." /RECORD', "uninstalling",
                               REMOVING + " AND LIGHTPATHENTRY"),
    "RemoveFromPath": (2, DEFERRED, "path-remove /RECORDED", "uninstalling", REMOVING),
}
found = {row[0]: (int(row[1]), f"{row[2]}={row[3]}" if int(row[1]) == 51 else row[3])
         for row in table("CustomAction")}
check("custom actions", sorted(found), sorted(ACTIONS))
check("the helper's actions run its copy in the Binary table, which is setup-helper.exe",
      [{row[2] for row in table("CustomAction") if int(row[1]) & 0x3F == 2},
       run("msiinfo", "extract", package, "Binary.SetupHelper") == open(programs["HelperExe"], "rb").read()],
      [{"SetupHelper"}, True])
sequence = {row[0]: (int(row[2]), row[1]) for row in table("InstallExecuteSequence")}
order = sorted(sequence, key=lambda name: sequence[name][0])
WINDOWS["first"] = (None, order[1])
# With a user interface, the same refusals come first there.
interface = {row[0]: (int(row[2]), row[1]) for row in table("InstallUISequence")}
check("the user interface refuses first, and applies the folder rule, as the installation does",
      [min(interface, key=lambda name: interface[name][0]), interface.get("CheckInstallFolder", (0, None))[1]],
      ["CheckNoOtherInstallation", NEW])
for name, (base, bits, command, where, condition) in ACTIONS.items():
    number, target = found.get(name, (0, None))
    place, when = sequence.get(name, (0, None))
    after, before = WINDOWS[where]
    check(f"{name}: type, bits, command and condition",
          [number & 0x3F, {word for bit, word in BITS.items() if number & bit}, command and target, when],
          [base, bits, command, condition])
    check(f"{name}: runs {where}", (sequence[after][0] if after else 0) < place < sequence[before][0], True)
    # Right before the action it undoes: in the rollback script exactly when that action ran.
    if "rollback" in bits:
        check(f"{name}: right before {name[:-8]}", order[order.index(name) + 1], name[:-8])
# The earlier version is removed inside this installation's transaction, before anything else;
# the brightness is set once all else is done.
check("RemoveExistingProducts right after InstallInitialize, SetBrightness right before InstallFinalize",
      [order[order.index("InstallInitialize") + 1], order[order.index("InstallFinalize") - 1]],
      ["RemoveExistingProducts", "SetBrightness"])

properties = dict(row[:2] for row in table("Property"))
check("SecureCustomProperties", set(properties.get("SecureCustomProperties", "").split(";")),
      {"BRIGHTNESS", "INSTALLDIR", "NEWERFOUND", "OLDERFOUND"})
check("refused where rollback is disabled", [row[0] for row in table("LaunchCondition") if "Rollback" in row[0]],
      ['Installed OR NOT (RollbackDisabled OR DISABLEROLLBACK OR LIGHTROLLBACKPOLICY = "#1")'])
check("per machine, for x64", [properties.get("ALLUSERS"),
                               b"Template: x64;1033" in run("msiinfo", "suminfo", package)], ["1", True])


# Versioned programs carry their own version and language and no hash, as Windows Installer
# compares them: the fixed file information, and the language of the version information.
def version_and_language(program):
    resource = run("wrestool", "-x", "--raw", "-t16", program)
    most, least = struct.unpack_from("<II", resource, resource.index(struct.pack("<I", 0xFEEF04BD)) + 8)
    language = resource.index("Translation\0".encode("utf-16-le")) + 24
    return [f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}",
            str(struct.unpack_from("<H", resource, language + -language % 4)[0])]


files = {row[0]: row for row in table("File")}
check("File.Version and File.Language", {key: files[key][4:6] for key in programs},
      {key: version_and_language(program) for key, program in programs.items()})
check("hashed files", {row[0] for row in table("MsiFileHash")}, set(files) - set(programs))
# A long file name comes with a short one, SHORT~1.EXT|long name.ext (ICE03).
SHORT = r"[\w$%'`@~!(){}^#&-]{1,8}(\.[\w$%'`@~!(){}^#&-]{1,3})?"
check("file names that are not 8.3 have a short name", [row[2] for row in files.values()
      if not re.fullmatch(SHORT, row[2]) and not re.fullmatch(SHORT + r"\|[^|]+", row[2])], [])
check("removed on uninstallation", [table("RemoveFile"), [row[2:4] for row in table("Registry") if row[3] == "-"]],
      [[], [["SOFTWARE\\Orvane\\Light", "-"]]])

print("\n".join(failures) or "the package's tables: as Windows Installer needs them")
sys.exit(1 if failures else 0)
