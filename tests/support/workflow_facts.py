"""What the GitHub workflows must hold beyond being valid, which only GitHub would otherwise show:
who may write, where the secrets are, in which order the release's jobs run, that every action is
pinned, and that what is published is what real Windows ran and what was attested. Prints each
fact that does not hold, with what was found.
Usage: workflow_facts.py <source folder>"""
import pathlib
import re
import sys

import yaml

source = pathlib.Path(sys.argv[1])
workflows = {name: yaml.safe_load((source / f".github/workflows/{name}.yml").read_text())
             for name in ("release", "windows")}
jobs = {f"{name}.{job}": body for name, workflow in workflows.items()
        for job, body in workflow["jobs"].items()}
release = workflows["release"]["jobs"]
steps = [(job, step) for job, body in jobs.items() for step in body.get("steps", [])]


def action(step):
    return step.get("uses", "run").split("@")[0]


def step_of(job, name):
    return next((step for step in release[job]["steps"] if action(step) == name), {})


def lines(text):
    return sorted((text or "").split())


def writes(job):
    return {scope for scope, access in (jobs[job].get("permissions") or {}).items()
            if access == "write"}


downloads = ["light-*-win64-setup.exe", "light-*-win64.msi", "light-*-win64.zip",
             "light-*.buildinfo", "SHA256SUMS", "winget/manifests/o/Orvane/Light/*/*.yaml"]
version = re.search(r"project\(light VERSION ([0-9.]+)", (source / "CMakeLists.txt").read_text())[1]
ecosystems = yaml.safe_load((source / ".github/dependabot.yml").read_text())["updates"]
facts = [
    ("the workflows grant nothing, or reading, to all their jobs",
     [workflows["release"].get("permissions"), workflows["windows"].get("permissions")],
     [{}, {"contents": "read"}]),
    ("each release job's permissions",
     {job: body.get("permissions") for job, body in release.items()},
     {"test": {"contents": "read"}, "build": {"contents": "read"}, "windows": {"contents": "read"},
      "publish": {"contents": "write", "id-token": "write", "attestations": "write"}}),
    ("no job but publish may write", [job for job in jobs if writes(job)], ["release.publish"]),
    ("test, then build, then windows on build's downloads, then publish",
     {job: sorted([body.get("needs", [])] if isinstance(body.get("needs"), str)
                  else body.get("needs", [])) for job, body in release.items()},
     {"test": [], "build": ["test"], "windows": ["build"], "publish": ["build", "windows"]}),
    ("every action pinned by a full commit SHA",
     [step["uses"] for _, step in steps
      if "uses" in step and not re.fullmatch(r"[\w.-]+/[\w.-]+@[0-9a-f]{40}", step["uses"])], []),
    ("no checkout keeps the token",
     [job for job, step in steps if action(step) == "actions/checkout"
      and step.get("with", {}).get("persist-credentials") is not False], []),
    ("secrets only in build, the one job of the release environment",
     [[job for job, body in jobs.items() if "secrets." in yaml.safe_dump(body)],
      {job: body["environment"] for job, body in jobs.items() if "environment" in body}],
     [["release.build"], {"release.build": "release"}]),
    ("nothing from npm runs where the secrets are",
     [word for word in ("npm", "node", "./dev test") if word in yaml.safe_dump(release["build"])],
     []),
    ("publish runs nothing but the attestation, the release and its publication",
     [action(step) for step in release["publish"]["steps"]],
     ["actions/download-artifact", "actions/attest-build-provenance",
      "softprops/action-gh-release", "run"]),
    ("the release stays a draft until every file is attached",
     {key: step_of("publish", "softprops/action-gh-release")["with"].get(key)
      for key in ("draft", "fail_on_unmatched_files")},
     {"draft": True, "fail_on_unmatched_files": True}),
    ("every download attested and attached",
     [lines(step_of("publish", "actions/attest-build-provenance")["with"]["subject-path"]),
      lines(step_of("publish", "softprops/action-gh-release")["with"]["files"])],
     [sorted(f"downloads/{file}" for file in downloads)] * 2),
    ("windows and publish take the artifact that build uploads",
     [step_of("build", "actions/upload-artifact")["with"]["name"],
      step_of("windows", "actions/download-artifact")["with"]["name"],
      step_of("publish", "actions/download-artifact")["with"]["name"]], ["downloads"] * 3),
    ("both workflows check the installers with the one script, the release's both, against "
     "SHA256SUMS and signed when build signed",
     [sum(".github/scripts/check-installer.ps1" in step.get("run", "") for _, step in steps),
      [word for word in ("-Setup", "-Msi", "-Sums", "-Signed")
       if not any(word in step.get("run", "") and "check-installer" in step["run"]
                  for step in release["windows"]["steps"])]], [3, []]),
    ("a Node.js that GitHub's runners still run",
     [str(step["with"]["node-version"]) for _, step in steps if action(step) == "actions/setup-node"
      if str(step["with"]["node-version"]) not in ("22", "24")], []),
    ("the test job runs the README's test command",
     [step.get("run") for step in release["test"]["steps"] if step.get("run") == "./dev test"],
     ["./dev test"]),
    ("ctest fails when it finds no test",
     "--no-tests=error" in next(line for line in (source / "dev").read_text().splitlines()
                                if line.strip().startswith("ctest ")), True),
    ("the README's verify command pins the workflow and the tag",
     "--signer-workflow orvane/light/.github/workflows/release.yml --source-ref "
     f"refs/tags/v{version}" in (source / "README.md").read_text().replace("<version>", version),
     True),
    ("dependabot keeps the actions and the npm tool current",
     {entry["package-ecosystem"]: entry["directory"] for entry in ecosystems},
     {"github-actions": "/", "npm": "/tests/support/workflow-parser"}),
]
for what, found, expected in facts:
    if found != expected:
        print(f"{what}: found {found}, not {expected}")
