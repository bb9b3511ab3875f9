"""light-<version>.cdx.json: the software bill of materials of a release, in CycloneDX 1.6 JSON.
It lists each download and each program inside them with its SHA-256, and each component the
programs are made of (notices.py found them in the link maps): Light's own code, at the commit
built, and the others at the version of their Debian package that the build information records,
each with its package URL, its licences as an SPDX expression and its supplier. What holds what
is in its dependencies. Written from nothing but these files, it is the same bytes for the same
downloads.
Usage: sbom.py <components from notices.py> <build folder> <version> <SBOM>"""
import hashlib
import json
import re
import sys
import urllib.parse
import uuid
from datetime import datetime, timezone

components_file, build, version, output = sys.argv[1:]
found = json.load(open(components_file))
own = found["own"]
downloads = {name.replace("{version}", version): held for name, held in found["downloads"].items()}
information = open(f"{build}/light-{version}.buildinfo").read()
recorded = dict(re.findall(r"^ (\S+) (\S+)$", information, re.M))
commit = re.search(r"^Commit: ([0-9a-f]{40})", information, re.M)
release = re.search(r"^System: Debian GNU/Linux (\d+)", information, re.M)
epoch = re.search(r"^Source-Date-Epoch: (\d+)$", information, re.M)
if not (commit and release and epoch):
    sys.exit(f"sbom: the build information names no commit, Debian release or date: {information}")


def sha256(path):
    return [{"alg": "SHA-256", "content": hashlib.sha256(open(path, "rb").read()).hexdigest()}]


def licences(expression):
    return [{"expression": expression}]


def package_url(component):
    if recorded.get(component["package"]) != component["version"]:
        sys.exit(f"sbom: the build information records {component['package']} at "
                 f"{recorded.get(component['package'], 'no version')}, not {component['version']}")
    quoted = urllib.parse.quote(component["version"], safe="")
    # A part of a package that holds another component too is named by its file in it, so that
    # tools that tell components apart by package URL keep both.
    subpath = f"#{component['subpath']}" if "subpath" in component else ""
    return (f"pkg:deb/debian/{component['package']}@{quoted}"
            f"?arch={component['architecture']}&distro=debian-{release[1]}{subpath}")


homepage = own["supplier"]["url"][0]
project = homepage.removeprefix("https://github.com/")
listed = [{"type": "file", "bom-ref": name, "name": name, "hashes": sha256(f"{build}/{name}")} for name in downloads]
listed += [{"type": "file", "bom-ref": name, "name": name, "hashes": sha256(f"{build}/bin/{name}")} for name in own["in"]]
listed.append({"type": "library", "bom-ref": own["name"], "supplier": own["supplier"], "name": own["name"],
               "version": version, "description": f"{own['description']}, built from commit {commit[1]}",
               "licenses": licences(own["licence"]), "purl": f"pkg:github/{project}@{commit[1]}",
               "externalReferences": [{"type": "vcs", "url": homepage}]})
listed += [{"type": "library", "bom-ref": c["name"], "supplier": found["supplier"], "manufacturer": c["manufacturer"],
            "name": c["name"], "version": c["version"], "description": c["description"],
            "licenses": licences(c["licence"]), "purl": package_url(c)} for c in found["components"]]
holds = {name: held for name, held in downloads.items()}
holds.update({binary: [own["name"], *(c["name"] for c in found["components"] if binary in c["in"])]
              for binary in own["in"]})
bom = {
    "bomFormat": "CycloneDX",
    "specVersion": "1.6",
    "serialNumber": "",
    "version": 1,
    "metadata": {
        "timestamp": datetime.fromtimestamp(int(epoch[1]), timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ"),
        "component": {"type": "application", "bom-ref": f"light-{version}", "supplier": own["supplier"],
                      "name": own["name"], "version": version, "licenses": licences(own["licence"]),
                      "purl": f"pkg:github/{project}@v{version}",
                      "externalReferences": [{"type": "vcs", "url": homepage}]},
        "supplier": own["supplier"],
    },
    "components": listed,
    "dependencies": [{"ref": f"light-{version}", "dependsOn": list(downloads)}]
    + [{"ref": item["bom-ref"], "dependsOn": holds.get(item["bom-ref"], [])} for item in listed],
}
# The same content, the same serial number; other content, another.
text = json.dumps(bom, indent=2)
bom["serialNumber"] = f"urn:uuid:{uuid.uuid5(uuid.NAMESPACE_URL, hashlib.sha256(text.encode()).hexdigest())}"
with open(output, "w") as out:
    out.write(json.dumps(bom, indent=2) + "\n")
