"""What the GitHub workflows must hold beyond being valid, which only GitHub would otherwise show:
who may write, where the secrets are, in which order the release's jobs run, that every action and
container is pinned, that a tag is released once, and that what is attested and published is
exactly what build made and real Windows ran. Prints each fact that does not hold, with what was
found.
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


def label(step):  # an action by its name, the check of build's digests as such, else its first line
    return action(step) if "uses" in step else \
        "digests" if "DIGESTS" in step.get("env", {}) and "find" in step["run"] else step["run"].splitlines()[0]


def commands(step):  # the program each line of a step runs, assignments aside
    return [line.split()[0] for line in step.get("run", "").splitlines()
            if line.strip() and not re.fullmatch(r"\w+=\S*", line.strip())]


def step_of(job, name):
    return next((step for step in release[job]["steps"] if label(step) == name), {})


def lines(text):
    return sorted((text or "").split())


downloads = ["light-*-win64-setup.exe", "light-*-win64.msi", "light-*-win64.zip", "light-*.buildinfo",
             "light-*.cdx.json", "SHA256SUMS", "winget/manifests/o/Orvane/Light/*/*.yaml"]
version = re.search(r"project\(light VERSION ([0-9.]+)", (source / "CMakeLists.txt").read_text())[1]
ecosystems = yaml.safe_load((source / ".github/dependabot.yml").read_text())["updates"]
reading = {"contents": "read"}
checkout, download = "actions/checkout", "actions/download-artifact"
unpublished = ".github/scripts/release-check unpublished"
safe = 'git config --global --add safe.directory "$GITHUB_WORKSPACE"'
outputs = ["signed", "artifact-id", "digests"]
decode = ".github/scripts/job-outputs get " + " ".join(f'{name} "${name.upper().replace("-", "_")}"' for name in outputs)
dev_package = re.search(r"\n    package\)\n(.*?)\n        ;;", (source / "dev").read_text(), re.S)[1]
assigned = dict(re.findall(r"^ *(\w+)=(\S+)$", dev_package, re.M))
summed = [assigned.get(word[1:], word).replace("$version", "*")
          for word in re.findall(r'"([^"]+)"', re.search(r"\bfiles=\((.*?)\)", dev_package, re.S)[1])]
sbom = 'echo "path=release/light-${GITHUB_REF_NAME#v}.cdx.json" >>"$GITHUB_OUTPUT"'
facts = [
    ("the workflows grant nothing, or reading, to all their jobs; each job's own permissions",
     [[workflow.get("permissions") for workflow in workflows.values()],
      {job: body["permissions"] for job, body in jobs.items() if "permissions" in body}],
     [[{}, reading], {**{f"release.{job}": reading for job in ("tag", "test", "build", "windows")},
                      "release.attest": {"contents": "read", "id-token": "write", "attestations": "write"},
                      "release.release": {"contents": "write"}}]),
    ("tag, test, build, windows on build's files, attest, then release",
     {job: sorted([body.get("needs", [])] if isinstance(body.get("needs"), str)
                  else body.get("needs", [])) for job, body in release.items()},
     {"tag": [], "test": ["tag"], "build": ["test"], "windows": ["build"],
      "attest": ["build", "windows"], "release": ["attest", "build", "windows"]}),
    ("one release run per tag at a time, and one publishing job for all tags, never cancelled",
     [workflows["release"].get("concurrency"), release["release"].get("concurrency")],
     [{"group": "release-${{ github.ref }}", "cancel-in-progress": False},
      {"group": "release-publishing", "cancel-in-progress": False}]),
    ("every action pinned by a full commit SHA, every container by its image's digest",
     [step["uses"] for _, step in steps
      if "uses" in step and not re.fullmatch(r"[\w.-]+/[\w.-]+@[0-9a-f]{40}", step["uses"])]
     + [body["container"] for body in jobs.values() if "container" in body and not
        re.fullmatch(r"[\w./-]+(:[\w.-]+)?@sha256:[0-9a-f]{64}", str(body["container"]))], []),
    ("no checkout keeps the token",
     [job for job, step in steps if action(step) == "actions/checkout"
      and step.get("with", {}).get("persist-credentials") is not False], []),
    ("secrets only in build, the one job of the release environment",
     [[job for job, body in jobs.items() if "secrets." in yaml.safe_dump(body)],
      {job: body["environment"] for job, body in jobs.items() if "environment" in body}],
     [["release.build"], {"release.build": "release"}]),
    ("build runs GitHub's checkout and upload actions, apt-get, git and this repository's scripts "
     "only; its secrets reach package-release on ./dev package alone, which runs nothing from npm",
     [sorted({action(step) for step in release["build"]["steps"] if "uses" in step}),
      sorted({word for step in release["build"]["steps"] for word in commands(step)
              if not re.fullmatch(r"(\.github/scripts|installer)/[\w.-]+", word)}),
      [step["run"] for step in release["build"]["steps"] if "secrets." in yaml.safe_dump(step)],
      re.findall(r"\b(?:npm|npx|node|install_workflow_tools)\b", dev_package)],
     [["actions/checkout", "actions/upload-artifact"], ["apt-get", "git"],
      [".github/scripts/package-release ./dev package"], []]),
    ("every container job names its workspace safe for git right after its checkout",
     {job: label(body["steps"][[action(step) for step in body["steps"]].index(checkout) + 1])
      for job, body in jobs.items() if "container" in body},
     {job: safe for job, body in jobs.items() if "container" in body}),
    ("jobs that may write run GitHub's own actions only",
     sorted({step["uses"].split("@")[0] for job, step in steps if "write" in jobs[job].get("permissions", {})
             .values() and "uses" in step and not step["uses"].startswith("actions/")}), []),
    ("build's outputs written by job-outputs, which is all that reads them in the later jobs",
     [release["build"]["outputs"], label(next(step for step in release["build"]["steps"] if step.get("id") == "outputs")),
      sorted({job for job, body in release.items() for step in body["steps"]
              if "needs.build.outputs" in yaml.safe_dump(step) and step.get("run") != decode})],
     [{name: f"${{{{ steps.outputs.outputs.{name} }}}}" for name in outputs},
      ".github/scripts/job-outputs put " + " ".join(f'{name} "${name.upper().replace("-", "_")}"' for name in outputs),
      []]),
    ("every upload replaces an earlier attempt's, so that a run can be run again",
     [step.get("with", {}).get("overwrite") for _, step in steps if action(step) == "actions/upload-artifact"],
     [True, True]),
    ("every artifact taken by the id its upload gave, into one folder, refusing a changed one",
     {job: step["with"] for job, step in steps if action(step) == download},
     {job: {"artifact-ids": f"${{{{ {given}.outputs.artifact-id }}}}", "merge-multiple": True,
            "digest-mismatch": "error", "path": path} for job, given, path in
      [*((f"release.{job}", "steps.build", "release") for job in ("windows", "attest", "release")),
       ("windows.msi", "needs.msi-package", "downloads")]}),
    ("a published tag refused first and last, and every file checked against build's digests, the "
     "same way, before anything is attested or published, by publish-release alone",
     [[label(step) for step in release[job]["steps"]] for job in ("tag", "attest", "release")]
     + [len({step_of(job, "digests").get("run") for job in ("attest", "release")})],
     [[checkout, 'installer/release-notes "$GITHUB_REF_NAME" >/dev/null', unpublished],
      [checkout, decode, download, "digests", "actions/attest-build-provenance", sbom, "actions/attest"],
      [checkout, decode, download, "digests", ".github/scripts/publish-release release"], 1]),
    ("every download attested (release-check sees that each is attached)",
     lines(step_of("attest", "actions/attest-build-provenance")["with"]["subject-path"]),
     sorted(f"release/{file}" for file in downloads)),
    ("SHA256SUMS sums every download, the SBOM too, which is attested for the installer, the MSI and the ZIP",
     [summed, 'sha256sum "${files[@]}" >SHA256SUMS' in dev_package, step_of("attest", "actions/attest").get("with")],
     [downloads[:5], True, {"subject-path": "".join(f"release/{file}\n" for file in downloads[:3]),
                            "sbom-path": "${{ steps.sbom.outputs.path }}"}]),
    ("both workflows check the installers with the one script, the release's every download, "
     "against build's digests and, when build signed, its signer",
     [sum(".github\\scripts\\check-installer.ps1" in step.get("run", "") for _, step in steps),
      [word for word in ("-Setup", "-Msi", "-Zip", "-Sums", "-Signed", "-Signer")
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
    ("dependabot keeps the actions and the npm tools current, each release a week old first",
     {entry["package-ecosystem"]: [entry["directory"], min(
         [days for key, days in (entry.get("cooldown") or {}).items() if key.endswith("days")],
         default=0) >= 7] for entry in ecosystems},
     {"github-actions": ["/", True], "npm": ["/tests/support/parsers", True]}),
]
for what, found, expected in facts:
    if found != expected:
        print(f"{what}: found {found}, not {expected}")
