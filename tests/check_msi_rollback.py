#!/usr/bin/python3
"""The package's rollback as Windows Installer runs it, which Wine's msiexec does not. For each
deferred step of an installation and of a removal that can fail, the steps before it and the
step itself run, then the rollback actions scheduled before it run, the newest first, with the
package's own command lines, in the Wine prefix of the MSI check. Windows Installer then removes
only the files of the File table it installed, and the folder once it is empty: so the folder
may hold nothing else, and the task, the system PATH and HKLM\\SOFTWARE\\Orvane must be exactly
as they were before the transaction. Prints what a step leaves behind.
Usage: check_msi_rollback.py <package> <wine-run> <registry_value.exe> <prefix's drive_c>"""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

package, wine_run, registry_value, drive = sys.argv[1:5]
FOLDER = r"C:\Program Files\Light"
linux_folder = pathlib.Path(drive, "Program Files/Light")
task = pathlib.Path(drive, "windows/system32/tasks/Light brightness")
work = pathlib.Path(tempfile.mkdtemp())


def table(name):
    export = subprocess.run(["msiinfo", "export", package, name], capture_output=True, check=True)
    return [line.split("\t") for line in export.stdout.decode().splitlines()[3:]]


actions = {row[0]: (int(row[1]), row[2], row[3]) for row in table("CustomAction")}
sequence = sorted(table("InstallExecuteSequence"), key=lambda row: int(row[2]))
names = sequence[[row[0] for row in sequence].index("InstallInitialize"):]
files = {row[0]: row[2].split("|")[-1] for row in table("File")}
subprocess.run(["msiextract", "-C", str(work / "package"), package], capture_output=True, check=True)


def holds(condition, state):
    """A condition of the sequence, as Windows Installer reads it, in the given state."""
    python = ""
    for token in re.findall(r'[$?]?\w+|"[^"]*"|<>|[=()]', condition):
        python += {"AND": " and ", "OR": " or ", "NOT": " not ", "<>": "!=", "=": "=="}.get(
            token, repr(state.get(token, "")) if re.match(r"[$?]?[A-Za-z_]", token) else token)
    return not condition or eval(python)  # noqa: S307: the package's own conditions


def steps(state):
    """Each deferred step that runs in this state: (can fail, its command, its undo's command)."""
    undo, plan = [], []
    for name, condition, _ in names[: [row[0] for row in names].index("InstallFinalize")]:
        if not holds(condition, state):
            continue
        kind, source, target = actions.get(name, (0, None, None))
        command = source and f'"{FOLDER}\\{files[source]}" ' + target.replace("[INSTALLDIR]", FOLDER + "\\")
        if kind & 0x500 == 0x500:
            undo.append(command)
        elif kind & 0x400 or not command:
            plan.append((not kind & 0x40, command, list(reversed(undo))))
    return plan


def run(commands):
    """Runs the commands in one cmd, then reads the PATH and HKLM\\SOFTWARE\\Orvane."""
    script = work / "steps.cmd"
    script.write_text("\r\n".join(["@echo off", *commands, "echo ==state==",
                                   f'"{registry_value}" --raw "System\\CurrentControlSet\\Control'
                                   '\\Session Manager\\Environment" Path',
                                   "reg query HKLM\\SOFTWARE\\Orvane /s /reg:64"]) + "\r\n")
    said = subprocess.run([wine_run, "cmd", "/c", f"Z:{script}".replace("/", "\\")],
                          capture_output=True, timeout=120).stdout.decode(errors="replace")
    if "==state==" not in said:
        sys.exit(f"the steps did not run: {said}")
    return said.split("==state==")[-1].replace("\r", "")


def snapshot(registry):
    path, _, orvane = registry.strip().partition("\n")
    return {"the folder": sorted(path.name for path in linux_folder.iterdir()) if linux_folder.exists()
            else "none", "the task": task.exists(), "the system PATH": path,
            "HKLM\\SOFTWARE\\Orvane": orvane}


def install_files():
    linux_folder.mkdir(exist_ok=True)
    for name in files.values():
        shutil.copy(work / "package/Light" / name, linux_folder / name)


failures = []
for removing in (False, True):
    if removing:  # an installation, made by its own steps, to be removed
        install_files()
        registry = run([command for _, command, _ in steps({"$Program": 3, "?Program": 2}) if command])
        state = {"$Program": 2, "?Program": 3, "Installed": "1", "LIGHTPATHENTRY": "PathEntry" in registry}
    else:
        registry = run([])
        state = {"$Program": 3, "?Program": 2}
    before = snapshot(registry)
    plan = steps(state)
    tried = set()
    for index, (can_fail, command, undo) in enumerate(plan):
        done = [step for _, step, _ in plan[: index + 1] if step]
        if not can_fail or (tuple(done), tuple(undo)) in tried:
            continue
        tried.add((tuple(done), tuple(undo)))
        if not removing and not linux_folder.exists():
            install_files()
        registry = run(done + undo)
        left = set(linux_folder.iterdir() if linux_folder.exists() else []) - {linux_folder / name for name in files.values()}
        if not removing and linux_folder.exists() and not left:
            shutil.rmtree(linux_folder)  # as Windows Installer removes its files, then the folder
        after = snapshot(registry)
        if left and not removing:  # the next step must not find this one's leftovers
            shutil.rmtree(linux_folder)
        changed = [f"{what}: {after[what]}, not {before[what]}" for what in before if after[what] != before[what]]
        if left or changed:
            step = command or "a step of Windows Installer's"
            failures.append(f"{'removing' if removing else 'installing'}, failing at {step}, then "
                            f"undone, leaves {sorted(path.name for path in left)} {'; '.join(changed)}")
# Back to a machine without the installation.
run([command for _, command, _ in steps({"$Program": 2, "?Program": 3, "LIGHTPATHENTRY": "1"}) if command])
shutil.rmtree(linux_folder, ignore_errors=True)
shutil.rmtree(work)
print("\n".join(failures) or "every failed step of the package is undone whole")
sys.exit(1 if failures else 0)
