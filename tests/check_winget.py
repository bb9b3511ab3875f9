#!/usr/bin/python3
"""The winget manifests of a version against the rules winget's published 1.12.0 schemas set
for the fields they use (winget_manifests.schema.json), read as YAML 1.1 reads them, so that a
version or a date that would turn into a number or a date fails; and against the installer they
describe. Usage: check_winget.py <installer> <manifest folder>..."""
import hashlib
import json
import pathlib
import sys

import jsonschema
import yaml

rules = json.loads((pathlib.Path(__file__).parent / "winget_manifests.schema.json").read_text())
installer = pathlib.Path(sys.argv[1])
failures = []
for folder in map(pathlib.Path, sys.argv[2:]):
    # The community repository's layout: manifests/<first letter>/<publisher>/<name>/<version>.
    publisher, name, version = folder.parent.parent.name, folder.parent.name, folder.name
    identifier = f"{publisher}.{name}"
    if [folder.parents[3].name, folder.parents[2].name] != ["manifests", publisher[0].lower()]:
        failures.append(f"{folder}: not in the layout manifests/{publisher[0].lower()}/{publisher}/{name}")
    kinds = {"version": "", "installer": ".installer", "defaultLocale": ".locale.en-US"}
    for kind, suffix in kinds.items():
        manifest = yaml.safe_load((folder / f"{identifier}{suffix}.yaml").read_text("utf-8"))
        validator = jsonschema.Draft7Validator({**rules, "$ref": f"#/{kind}"},
                                               format_checker=jsonschema.FormatChecker())
        failures += [f"{folder}: {kind}: {error.json_path}: {error.message}"
                     for error in validator.iter_errors(manifest)]
        if manifest.get("ManifestType") != kind or [manifest.get("PackageIdentifier"),
                                                    manifest.get("PackageVersion")] != [identifier, version]:
            failures.append(f"{folder}: {kind}: not the {kind} manifest of {identifier} {version}")
        kinds[kind] = manifest
    entry, = kinds["installer"]["Installers"]
    if entry["InstallerSha256"].lower() != hashlib.sha256(installer.read_bytes()).hexdigest():
        failures.append(f"{folder}: the installer's SHA-256 is not that of {installer}")
    if not entry["InstallerUrl"].endswith(f"/v{version}/{installer.name}"):
        failures.append(f"{folder}: {entry['InstallerUrl']} is not this version's {installer.name}")
print("\n".join(failures) or "the winget manifests: valid, and describing the installer")
sys.exit(1 if failures else 0)
