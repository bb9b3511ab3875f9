#!/usr/bin/python3
"""The package's rollback as Windows Installer runs it, which Wine's msiexec does not: for each
deferred step of an installation and a removal that can fail, the package's own commands up to
it run, then the rollback actions scheduled before it, newest first. Windows Installer removes its
files, and the folder once empty; nothing else may be left, and the task, the PATH and
HKLM\\SOFTWARE\\Orvane must be as before. Prints what a failed step leaves.
Usage: check_msi_rollback.py <package> <wine-run> <registry_value.exe> <prefix's drive_c>"""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

package, wine_run, registry_value, drive = sys.argv[1:5]
FOLDER, folder = r"C:\Program Files\Light", pathlib.Path(drive, "Program Files/Light")
work = pathlib.Path(tempfile.mkdtemp())


def table(name):
    export = subprocess.run(["msiinfo", "export", package, name], capture_output=True, check=True)
    return [line.split("\t") for line in export.stdout.decode().splitlines()[3:]]


actions = {row[0]: (int(row[1]), row[2], row[3]) for row in table("CustomAction")}
sequence = [row[:2] for row in sorted(table("InstallExecuteSequence"), key=lambda row: int(row[2]))]
sequence = sequence[sequence.index(["InstallInitialize", ""]):sequence.index(["InstallFinalize", ""])]
files = {row[0]: row[2].split("|")[-1] for row in table("File")}
subprocess.run(["msiextract", "-C", str(work), package], capture_output=True, check=True)


def steps(state):
    """Each deferred step whose condition holds: (can fail, its command, the undo scheduled so far)."""
    undo, plan = [], []
    for name, condition in sequence:
        python = "".join({"AND": " and ", "OR": " or ", "NOT": " not ", "<>": "!=", "=": "=="}.get(
            token, repr(state.get(token, "")) if re.match(r"[$?]?[A-Za-z_]", token) else token)
            for token in re.findall(r'[$?]?\w+|"[^"]*"|<>|[=()]', condition))
        if condition and not eval(python):  # the package's own conditions, as Windows reads them
            continue
        kind, source, target = actions.get(name, (0, None, None))
        command = source and f'"{FOLDER}\\{files[source]}" ' + target.replace("[INSTALLDIR]", FOLDER + "\\")
        if kind & 0x500 == 0x500:
            undo.insert(0, command)
        elif kind & 0x400 or not command:
            plan.append((not kind & 0x40, command, list(undo)))
    return plan


def run(commands):
    """Runs the commands in one cmd, then says what there is: files, task, PATH, registry."""
    script = work / "steps.cmd"
    script.write_text("\r\n".join(["@echo off", *commands, "echo ==state==", f'"{registry_value}" --raw'
                                   ' "System\\CurrentControlSet\\Control\\Session Manager\\Environment" Path',
                                   "reg query HKLM\\SOFTWARE\\Orvane /s /reg:64"]) + "\r\n")
    said = subprocess.run([wine_run, "cmd", "/c", f"Z:{script}".replace("/", "\\")],
                          capture_output=True, timeout=120).stdout.decode(errors="replace")
    if "==state==" not in said:
        sys.exit(f"the steps did not run: {said}")
    path, _, orvane = said.split("==state==")[-1].replace("\r", "").strip().partition("\n")
    return {"the folder": sorted(path.name for path in folder.iterdir()) if folder.exists() else "none",
            "the task": pathlib.Path(drive, "windows/system32/tasks/Light brightness").exists(),
            "the system PATH": path, "HKLM\\SOFTWARE\\Orvane": orvane}


def install_files():
    folder.mkdir(exist_ok=True)
    for name in files.values():
        shutil.copy(work / "Light" / name, folder / name)


failures = []
for removing in (False, True):
    if removing:  # an installation made by its own steps
        install_files()
        before = run([command for _, command, _ in steps({"$Program": 3, "?Program": 2}) if command])
        state = {"$Program": 2, "?Program": 3, "Installed": "1", "LIGHTPATHENTRY": "PathEntry" in before[
            "HKLM\\SOFTWARE\\Orvane"]}
    else:
        before, state = run([]), {"$Program": 3, "?Program": 2}
    plan, tried = steps(state), set()
    for index, (can_fail, command, undo) in enumerate(plan):
        done = tuple(step for _, step, _ in plan[: index + 1] if step) + tuple(undo)
        if not can_fail or done in tried:
            continue
        tried.add(done)
        if not removing:
            install_files()
        after = run(done)
        if not removing and folder.exists():  # as Windows Installer removes its files, then the folder
            shutil.rmtree(folder)
            after["the folder"] = sorted(set(after["the folder"]) - set(files.values())) or "none"
        changed = [f"{what}: {after[what]}, not {before[what]}" for what in before if after[what] != before[what]]
        if changed:
            failures.append(f"{'removing' if removing else 'installing'}, failing at "
                            f"{command or 'a step of its own'}, then undone, leaves {'; '.join(changed)}")
run([command for _, command, _ in steps({"$Program": 2, "?Program": 3, "LIGHTPATHENTRY": "1"}) if command])
shutil.rmtree(folder, ignore_errors=True)
shutil.rmtree(work)
print("\n".join(failures) or "every failed step of the package is undone whole")
sys.exit(1 if failures else 0)
