#!/usr/bin/python3 -S
"""GitHub as the release job's publishing step meets it, which only GitHub would otherwise show.
Run as gh (through a link of that name), it answers only the calls the release's scripts are
meant to make, on the repository state in the JSON file GITHUB_STANDIN: any other call, with
another method, path, field or flag, is recorded as unexpected and fails. Run as itself, it runs
publish-release once for each case of its table and prints each way in which what GitHub then
holds, or the exit code, is not what the case expects.
Usage: github_standin.py <.github/scripts folder>"""
import hashlib
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile

REPOSITORY, TAG, BUILT, OTHER = "orvane/light", "v1.2.0", "c" * 40, "d" * 40
RELEASES = f"repos/{REPOSITORY}/releases"
FILES = ["light-1.2.0-win64-setup.exe", "light-1.2.0-win64.msi", "light-1.2.0-win64.zip",
         "light-1.2.0.buildinfo", "light-1.2.0.cdx.json", "SHA256SUMS",
         "winget/manifests/o/Orvane/Light/1.2.0/Orvane.Light.yaml"]


def answer(state, call):
    """What GitHub answers to one gh call, or None for a call the scripts should never make."""
    releases = {str(release["id"]): release for release in state["releases"]}
    match call:
        case ["api", "--paginate", path] if path == RELEASES:
            # A listing that "lag" counts down leaves out the drafts made since the case began.
            if state.get("lag") and any(release.get("name") for release in state["releases"]):
                state["lag"] -= 1
                return [release for release in state["releases"] if not release.get("name")]
            return state["releases"]
        case ["api", path] if (found := re.fullmatch(RELEASES + r"/(\d+)", path)) and found[1] in releases:
            return releases[found[1]]
        case ["api", "--method", "DELETE", path] if (
                found := re.fullmatch(RELEASES + r"/(\d+)", path)) and releases.get(found[1], {}).get("draft"):
            state["releases"].remove(releases[found[1]])
            return ""
        case ["api", "--method", "PATCH", path, "-F", "draft=false", "-f", latest] if (
                found := re.fullmatch(RELEASES + r"/(\d+)", path)) and releases.get(found[1], {}).get("draft") \
                and latest in ("make_latest=true", "make_latest=false"):
            releases[found[1]].update(draft=False, latest=latest == "make_latest=true")
            return releases[found[1]]
        case ["api", path] if path == f"repos/{REPOSITORY}/git/ref/tags/{TAG}":
            return {"ref": f"refs/tags/{TAG}", "object": state["tag"]}
        case ["api", path] if (found := re.fullmatch(f"repos/{REPOSITORY}/git/tags/(\\w+)", path)) and \
                found[1] == state["tag"]["sha"]:
            return {"object": {"type": "commit", "sha": state["annotated"]}}
        case ["release", "create", tag, "--draft", "--verify-tag", "--target", target, "--title", title,
              "--notes-file", notes, *files] if tag == TAG and os.environ.get("GH_REPO") == REPOSITORY:
            assets = [{"name": pathlib.Path(file).name, "size": len(data), "state": "uploaded",
                       "digest": "sha256:" + hashlib.sha256(data + state.get("corrupt", "").encode()).hexdigest()}
                      for file in files for data in [pathlib.Path(file).read_bytes()]]
            state["next_id"] += 1
            state["releases"].append({"id": state["next_id"], "tag_name": tag,
                                      "draft": True, "name": title, "target_commitish": target,
                                      "body": pathlib.Path(notes).read_text(), "assets": assets})
            return f"https://github.com/{REPOSITORY}/releases/tag/untagged-1"
    return None


def as_gh():
    path = pathlib.Path(os.environ["GITHUB_STANDIN"])
    state = json.loads(path.read_text())
    # GitHub fails the calls that "down" numbers (the first is 1), or every call.
    state["calls"] = state.get("calls", 0) + 1
    if state.get("down") is True or state["calls"] in state.get("down", []):
        path.write_text(json.dumps(state))
        sys.exit("gh: HTTP 502: Bad Gateway")
    reply = answer(state, sys.argv[1:]) if os.environ.get("GH_TOKEN") else None
    if reply is None:
        state["unexpected"].append(sys.argv[1:])
    path.write_text(json.dumps(state))
    if reply is None:
        sys.exit(f"gh: unexpected call: {sys.argv[1:]}")
    print(reply if isinstance(reply, str) else json.dumps(reply))


def release(id, draft, tag=TAG, body="notes of an earlier run"):
    return {"id": id, "tag_name": tag, "draft": draft, "body": body, "assets": []}


LIGHTWEIGHT, ANNOTATED = {"type": "commit", "sha": BUILT}, {"type": "tag", "sha": "e" * 40}
CASES = [  # what GitHub holds first, then the exit code, and the releases it holds afterwards
    ("published as the latest through an annotated tag, an earlier run's draft deleted, other tags' releases kept, "
     "higher ones a draft or a prerelease",
     {"releases": [release(1, False, "v1.1.0"), release(2, True), release(5, True, "v9.0.0"),
                   {**release(6, False, "v9.1.0"), "prerelease": True}], "tag": ANNOTATED, "annotated": BUILT}, 0,
     "1 v1.1.0, 5 v9.0.0 draft, 6 v9.1.0, 10 v1.2.0 latest"),
    ("published once the listing shows the new draft, not as the latest: a higher version is released",
     {"releases": [release(3, False, "v1.10.0")], "tag": LIGHTWEIGHT, "lag": 1}, 0, "3 v1.10.0, 10 v1.2.0"),
    ("refused: the tag is released already", {"releases": [release(4, False)], "tag": LIGHTWEIGHT}, 1,
     "4 v1.2.0"),
    ("refused, the draft kept: the tag was moved since the build",
     {"releases": [], "tag": {**LIGHTWEIGHT, "sha": OTHER}}, 1, "10 v1.2.0 draft"),
    ("refused, the draft kept: a file changed on its way",
     {"releases": [], "tag": LIGHTWEIGHT, "corrupt": "x"}, 1, "10 v1.2.0 draft"),
    ("refused: GitHub does not answer", {"releases": [], "tag": LIGHTWEIGHT, "down": True}, 1, ""),
    ("refused, nothing made: the listing of earlier drafts fails",
     {"releases": [release(2, True)], "tag": LIGHTWEIGHT, "down": [2]}, 1, "2 v1.2.0 draft"),
    ("refused, nothing made: an earlier draft cannot be deleted",
     {"releases": [release(2, True)], "tag": LIGHTWEIGHT, "down": [3]}, 1, "2 v1.2.0 draft"),
]


def check(scripts):
    work = pathlib.Path(tempfile.mkdtemp())
    folder, bin = work / "release", work / "bin"
    for name in FILES:
        (folder / name).parent.mkdir(parents=True, exist_ok=True)
        (folder / name).write_text(f"Commit: {BUILT}\n" if name.endswith(".buildinfo") else name)
    (folder / "release-notes.md").write_text("the notes of this version")
    bin.mkdir()
    (bin / "gh").symlink_to(pathlib.Path(__file__).resolve())
    failures = []
    for what, state, status, releases in CASES:
        (work / "state").write_text(json.dumps({"unexpected": [], "next_id": 9, **state}))
        run = subprocess.run([f"{scripts}/publish-release", str(folder)], capture_output=True, text=True, env={
            **os.environ, "PATH": f"{bin}:{os.environ['PATH']}", "GITHUB_STANDIN": str(work / "state"),
            "GH_TOKEN": "token", "GH_REPO": REPOSITORY, "GITHUB_REPOSITORY": REPOSITORY,
            "GITHUB_REF_NAME": TAG, "GITHUB_SHA": BUILT})
        after = json.loads((work / "state").read_text())
        held = ", ".join(f"{item['id']} {item['tag_name']}" + " draft" * item["draft"] + " latest" * item.get("latest", False)
                         for item in after["releases"])
        made = [item for item in after["releases"] if item.get("name")]
        if made and [made[0]["body"], made[0]["target_commitish"], sorted(asset["name"] for asset in made[0]["assets"])] \
                != ["the notes of this version", BUILT, sorted(pathlib.Path(name).name for name in FILES)]:
            held += f" (not this run's notes, commit and files: {made[0]})"
        if [run.returncode, held, after["unexpected"]] != [status, releases, []]:
            failures.append(f"{what}: exit code {run.returncode}, holding {held or 'no release'}, "
                            f"unexpected calls {after['unexpected']}: {run.stdout}{run.stderr}")
    print("\n".join(failures) or "the release published as it should be, and refused where it should be")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    as_gh() if pathlib.Path(sys.argv[0]).name == "gh" else check(sys.argv[1])
