#!/usr/bin/python3
"""The package's transactions as Windows Installer runs them, which Wine's msiexec does not (it
runs deferred actions at InstallFinalize and undoes files before rollback actions). From the
package's own tables, for an installation, a removal, an upgrade that removes the older version
inside its transaction (with the new product's component taken as installed or not, which
Windows decides) and a repair: the steps whose conditions hold run, the package's commands and
what its standard actions change (files, Registry rows), up to each step that can fail, which
may also stop halfway; then the undo scheduled so far, newest first. The machine must then be as
it was. Whole runs must succeed, on installations damaged as people damage them too, and no
refusal before the transaction may stand in their way, nor let a new installation go on where
rollback is disabled. Prints what fails.
Usage: check_msi_rollback.py <package> <wine-run> <registry_value.exe> <prefix's drive_c>"""
import pathlib
import re
import subprocess
import sys
import tempfile

package, wine_run, registry_value, drive = sys.argv[1:5]
FOLDER, TASK = r"C:\Program Files\Light", r"C:\windows\system32\tasks\Light brightness"
KEYS = [r"SOFTWARE\Orvane\Light", r"SOFTWARE\Orvane"]
work = pathlib.Path(tempfile.mkdtemp())
WORK = "Z:" + str(work).replace("/", "\\")


def table(name):
    export = subprocess.run(["msiinfo", "export", package, name], capture_output=True, check=True)
    return [line.split("\t") for line in export.stdout.decode().splitlines()[3:]]


actions = {row[0]: (int(row[1]), row[2], row[3]) for row in table("CustomAction")}
sequence = [row[:2] for row in sorted(table("InstallExecuteSequence"), key=lambda row: int(row[2]))]
files = {row[0]: row[2].split("|")[-1] for row in table("File")}
ALL = set(files.values())
rows = {row[3]: row[4] for row in table("Registry") if row[1] == "2" and row[2] == KEYS[0]}
launch = [row[0] for row in table("LaunchCondition")]
subprocess.run(["msiextract", "-C", str(work), package], capture_output=True, check=True)
for binary in {source for kind, source, _ in actions.values() if kind & 0x3F == 2}:
    (work / f"{binary}.exe").write_bytes(subprocess.run(
        ["msiinfo", "extract", package, f"Binary.{binary}"], capture_output=True, check=True).stdout)


def holds(condition, state):  # one of the package's conditions, as Windows reads it
    python = "".join({"AND": " and ", "OR": " or ", "NOT": " not ", "<>": "!=", "=": "=="}.get(
        token, repr(state.get(token, "")) if re.match(r"[$?]?[A-Za-z_]", token) else token)
        for token in re.findall(r'[$?]?\w+|"[^"]*"|<>|[=()]', condition))
    return not condition or eval(python)


def reg(*changes):  # registry_value's changes, "<key>|<name>|<text>" and the like, in one run
    return f'"{registry_value}" --apply ' + " ".join(  # a backslash before the closing quote doubled
        '"' + change + "\\" * change.endswith("\\") + '"' for change in changes)


def value(name, text=None):
    return f"{KEYS[0]}|{name}" + (f"|{text}" if text is not None else "")


def copy(names):
    return [f'mkdir "{FOLDER}" 2>nul'] + [f'copy /y "{WORK}\\Light\\{name}" "{FOLDER}\\" >nul' for name in sorted(names)]


def delete(names):
    return [f'del /q "{FOLDER}\\{name}" 2>nul' for name in sorted(names)] + [f'rmdir "{FOLDER}" 2>nul']


class Machine:
    """What Windows Installer itself changes, as it stands at each step: the folder's files and the
    Registry rows' values. Each standard action gives what it does and its undo, which puts back
    what it changed, and, on the keys it made, takes them away once they hold nothing else."""

    def __init__(self, had, values):
        self.files, self.values = set(had), dict(values)

    def act(self, name, state):  # on the component, as its action state asks
        if name not in STANDARD or STANDARD[name] != state["$Program"]:
            return None
        files, values = set(self.files), dict(self.values)
        if name == "InstallFiles":
            self.files |= ALL
            return copy(ALL), delete(ALL - files) if files else delete(ALL)
        if name == "RemoveFiles":
            self.files -= ALL
            return delete(ALL), copy(files & ALL)
        written = {row: text.replace("[INSTALLDIR]", FOLDER + "\\").replace("[ProductCode]", state["code"])
                   for row, text in rows.items() if row != "-"}
        back = [reg(*(value(row, values.get(row)) for row in written), *(f"{key}|?" for key in KEYS))]
        if name == "WriteRegistryValues":
            self.values = written
            return [reg(*(value(row, text) for row, text in written.items()))], back
        if name == "RemoveRegistryValues":  # "-" takes the whole key away, and with it any key
            self.values = {}  # made for it that is empty then
            return [reg(*(value(row) for row in written), *(f"{KEYS[0]}|" for row in rows if row == "-"),
                        f"{KEYS[1]}|?")], back
        return None


STANDARD = {"InstallFiles": 3, "WriteRegistryValues": 3, "RemoveFiles": 2, "RemoveRegistryValues": 2}
# The helper records a PATH entry before it adds it (installer/helper/path_command.cpp):
# stopped between the two, the record alone is written.
HALFWAY = {"path-add": reg(value("PathEntry", FOLDER))}


def command(name):
    kind, source, target = actions[name]
    program = f"{WORK}\\{source}.exe" if kind & 0x3F == 2 else f"{FOLDER}\\{files[source]}"
    return f'"{program}" ' + target.replace("[INSTALLDIR]", FOLDER + "\\")


def steps(state, machine, halfway=False):
    """The transaction: each step (can fail, what it does, the undo scheduled by then, its name)."""
    undo, plan, inside = [], [], False
    for name, condition in sequence:
        inside = inside or name == "InstallInitialize"
        if not inside or name == "InstallFinalize" or not holds(condition, state):
            continue
        if name == "RemoveExistingProducts" and state.get("older"):
            older = steps(state["older"], machine, halfway)
            # Failing there is a removal's failure, which "removing" plays: only its steps here.
            plan += [(False, do, undone + undo, f"the older version's {step}") for _, do, undone, step in older[:-1]]
            undo = older[-1][2] + undo
            continue
        kind = actions.get(name, (0,))[0]
        if change := machine.act(name, state):  # Windows' own: a failure of its own is its own
            undo = change[1] + undo
            plan.append((False, change[0], list(undo), name))
        elif kind & 0x500 == 0x500:
            undo = [command(name)] + undo
        elif kind & 0x400:
            do = command(name)
            verb = do.split('" ', 1)[1].split()[0]
            plan.append((not kind & 0x40, [HALFWAY[verb] if halfway and verb in HALFWAY else do], list(undo), name))
    return plan + [(True, [], list(undo), "the end")]  # any standard action after all else


def refusal(state):
    """What refuses the run before its transaction: a launch condition, the folder rule (which takes
    only a new folder, or the recorded one), or a refusal once InstallValidate has run."""
    for condition in launch:
        if not holds(condition, state):
            return condition
    for name, condition in sequence:
        if name == "InstallInitialize":
            return None
        state = {**state, "RollbackDisabled": state.get("RollbackDisabled") or (
            name == "InstallValidate" and state.get("disabled at InstallValidate"))}
        entry = actions.get(name, (0, "", ""))[2]
        if holds(condition, state) and (entry == "RefuseWithoutRollback" or entry == "CheckInstallFolder"
                                        and state["folder"] and not state.get("LIGHTINSTALLED")):
            return name


INSTALLED = {row: value.replace("[INSTALLDIR]", FOLDER + "\\").replace("[ProductCode]", "{NEW}")
             for row, value in rows.items() if row != "-"}
INSTALL = {"$Program": 3, "?Program": 2, "code": "{NEW}", "folder": False}
REMOVE = {"$Program": 2, "?Program": 3, "code": "{NEW}", "Installed": "1", "LIGHTPATHENTRY": "1",
          "LIGHTINSTALLED": "1", "folder": True}
OLDER = {**REMOVE, "code": "{OLDER}", "UPGRADINGPRODUCTCODE": "{NEW}"}
HELPER = files["HelperExe"]
WITHOUT_HELPER = [f'del "{FOLDER}\\{HELPER}"']
UPGRADE = {**INSTALL, "older": OLDER, "folder": True, "LIGHTINSTALLED": "1", "LIGHTPATHENTRY": "1"}
SCENARIOS = [  # what, the installation it starts on (None: the one there is), how it was damaged,
    # its state, its files and its Registry rows; a repair may leave more than there was
    ("installing", None, [], INSTALL, set(), {}),
    ("removing", None, [], REMOVE, ALL, INSTALLED),
    ("removing an installation whose helper was deleted", "{NEW}", WITHOUT_HELPER, REMOVE, ALL - {HELPER},
     INSTALLED),
    ("upgrading an older installation whose helper was deleted", "{OLDER}", WITHOUT_HELPER, UPGRADE,
     ALL - {HELPER}, "older"),
    ("repairing an installation whose helper, task and record of its folder were deleted", None,
     WITHOUT_HELPER + ['schtasks /delete /tn "Light brightness" /f >nul', reg(value("InstallFolder"))],
     {**REMOVE, "$Program": 3, "LIGHTINSTALLED": "", "REINSTALL": "ALL"}, ALL - {HELPER},
     {row: value for row, value in INSTALLED.items() if row != "InstallFolder"}),
]


def whole(state, had, values):  # a whole run, each of its commands that can fail checked (Wine's
    # cmd runs what follows || whatever the exit code)
    return [check for can, do, _, name in steps(state, Machine(had, values)) for line in do
            for check in ([line, f"if errorlevel 1 echo ==failed== {name}: {line}"] if can and name in actions else [line])]


def dump():  # the folder, the task, and the package's keys with the system PATH, as three parts
    return ["echo ==state==", f'if exist "{FOLDER}" (dir /b /on "{FOLDER}") else (echo no folder)',
            "echo ==part==", f'if exist "{TASK}" (echo the task) else (echo no task)', "echo ==part==",
            f'"{registry_value}" --tree {KEYS[1]} --raw "System\\CurrentControlSet\\Control\\Session Manager\\Environment" Path']


failures, script, points, installed = [], [], [], False
for what, new, damage, state, had, values in SCENARIOS:
    if new:  # a new installation of this version or the older one, in place of any there is
        script += whole(REMOVE, ALL, INSTALLED) if installed else []
        script += whole({**INSTALL, "code": new}, set(), {})
    script += damage + dump()
    values = {row: value.replace("{NEW}", "{OLDER}") for row, value in INSTALLED.items()} if values == "older" else values
    points.append((what, "before"))
    if refused := refusal(state):
        failures.append(f"{what}: refused before it starts, by {refused}")
    tried = set()  # a damaged removal fails where an intact one does: its whole run alone
    for halfway in (False, True) if what == "installing" else () if damage and state is REMOVE else (False,):
        plan = steps(state, Machine(had, values), halfway)
        for index, (can, _, undo, name) in enumerate(plan):
            done = tuple(line for _, do, _, _ in plan[:index + 1] for line in do) + tuple(undo)
            if can and done not in tried and (not halfway or any(line in HALFWAY.values() for line in done)):
                tried.add(done)
                script += [*done, *dump()]
                points.append((what, f"failing at {name}{' after a step stopped halfway' * halfway}, then undone"))
    script += whole(state, had, values) + dump()
    points.append((what, "whole"))
    installed = not what.startswith("removing")
# Windows decides whether the component an upgrade finds the older product's is installed: the
# steps must not depend on it.
if steps({**UPGRADE, "?Program": 3}, Machine(ALL, {})) != steps(UPGRADE, Machine(ALL, {})):
    failures.append("an upgrade takes other steps where Windows takes the component as installed")
for disabled in ("RollbackDisabled", "disabled at InstallValidate"):
    if not refusal({**INSTALL, disabled: "1"}):
        failures.append(f"a new installation goes on where rollback is {disabled.replace('RollbackDisabled', 'disabled')}")
script += whole(REMOVE, ALL, INSTALLED) + dump()

(work / "steps.cmd").write_text("\r\n".join(["@echo off", *script]) + "\r\n")
said = subprocess.run([wine_run, "cmd", "/c", f"{WORK}\\steps.cmd"], capture_output=True,
                      timeout=150).stdout.decode(errors="replace").replace("\r", "")
failures += [f"a step of a whole run failed: {line}" for line in re.findall(r"==failed== (.*)", said)]
states = [part.strip() for part in re.sub(r"==failed== .*\n", "", said).split("==state==")[1:]]
if len(states) != len(points) + 1:
    sys.exit(f"the steps did not all run: {len(states)} states of {len(points) + 1}\n{said}")
clean = states[0]
installed = states[[point for point in points].index(("installing", "whole"))]
for (what, point), after in zip(points, states):
    if point == "before":
        before = after
    elif point == "whole" and after != (clean if what.startswith("removing") else installed):
        failures.append(f"{what}, whole, leaves\n{after}")
    elif point != "whole" and any(part not in ([was, then] if what.startswith("repairing") else [was])
                                  for part, was, then in zip(*(state.split("==part==") for state in
                                                               (after, before, installed)))):
        failures.append(f"{what}, {point}, leaves\n{after}\nnot, as before,\n{before}")
if states[-1] != clean:
    failures.append(f"the last removal leaves\n{states[-1]}")
print("\n".join(failures) or "every failed step of the package is undone whole, and damaged installations mend")
sys.exit(1 if failures else 0)
