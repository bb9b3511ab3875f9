"""THIRD-PARTY-NOTICES.txt, from what the shipped binaries' link maps say was linked into them and
what the copyright files of the Debian packages that provided it say of it (attribution.py), and
the components that the software bill of materials lists (sbom.py). Writes nothing, and names
each, where anything linked or shipped is not covered by components.json.
Usage: notices.py <components.json> <version> <maps folder> <build folder> <notices> <components>"""
import json
import os
import sys
import textwrap

import attribution
import debian_copyright
import linked

table_file, version, maps, build, notices_file, components_file = sys.argv[1:]
table = json.load(open(table_file))
binaries = list(table["binaries"])
own_folder = os.path.realpath(build) + "/"
found = attribution.Attribution(table, table_file)
# The build's own objects, named relative to it or inside it, are Light's.
found.linked({binary: {o for o in linked.linked_objects(f"{maps}/{target}.map")
                       if os.path.isabs(o[0] or o[1]) and not (o[0] or o[1]).startswith(own_folder)}
              for binary, target in table["binaries"].items()})
found.shipped_as_they_come()
found.check_held()
if found.problems:
    sys.exit("notices: " + "\n".join(found.problems))

packages = sorted({c["package"] for c in table["components"]})
versions = {p: (v, a) for p, v, a in (line.split() for line in attribution.query(
    "-W", "-f=${Package} ${Version} ${Architecture}\n", *packages).splitlines())}
texts = []  # each text that a notice refers to, once, numbered in the order first met


def reference(title, text):
    if text not in [t for _, t in texts]:
        texts.append((title, text))
    return f"[{[t for _, t in texts].index(text) + 1}]"


def wrap(text):
    return textwrap.fill(text, 100, subsequent_indent="  ", break_on_hyphens=False, break_long_words=False)


def stanza_lines(component, stanza, labels):
    kept, names = found.copyright(component["package"]), debian_copyright.licence_names(stanza)
    refs = [reference(f"{name} ({component['package']})", text)
            for name in names if (text := kept.licence_text(stanza, name)).strip()]
    return ["", wrap("Files: " + " ".join(sorted(" ".join(labels).split()))),
            "Copyright: " + stanza["Copyright"].replace("\n", "\n" + " " * 11),
            f"License: {' and '.join(names)}" + (f", text{'s' * (len(refs) > 1)} {' and '.join(refs)} below" if refs
                                                 else "")]


def excerpt_lines(component):
    kept, (title, path) = found.copyright(component["package"]), component["licence text"]
    parts = [reference(f"{component['package']}'s copyright file, from \"{first}\"", kept.excerpt(first, last))
             for first, last in component["excerpts"]]
    return [wrap(f"Copyright and licence: as the package's copyright file states them, texts {' and '.join(parts)} "
                 f"below; {title}, text {reference(f'{title} ({path})', open(path).read())} below")]


order = {name: number for number, name in enumerate([*binaries, *table["downloads"]])}
sections, listed = [], []
for component in table["components"]:
    what, (package_version, architecture) = found.found[component["name"]], versions[component["package"]]
    names = sorted({component["licences"][n] for stanza, _ in what["stanzas"].values()
                    for n in debian_copyright.licence_names(stanza)}) if "licences" in component else []
    expression = component.get("licence") or " AND ".join(n if " " not in n else f"({n})" for n in names)
    held = [name.replace("{version}", version) for name in sorted(what["in"], key=order.get)]
    lines = [f"== {component['name']} ==", wrap(component["description"] + "."),
             f"Debian package: {component['package']} {package_version}", "In: " + ", ".join(held),
             f"Licence: {expression}"]
    lines += [wrap("Objects: " + " ".join(sorted(what["objects"])))] if what["objects"] else []
    lines += excerpt_lines(component) if "excerpts" in component else []
    for stanza, labels in sorted(what["stanzas"].values(), key=lambda s: sorted(s[1])[0]):
        lines += stanza_lines(component, stanza, labels)
    sections.append("\n".join(lines))
    listed.append({"name": component["name"], "description": component["description"],
                   "package": component["package"], "version": package_version, "architecture": architecture,
                   "licence": expression, "manufacturer": component["manufacturer"], "in": held,
                   **{key: component[key] for key in ("subpath",) if key in component}})

own = table["own"]
head = wrap(f"Besides Light's own code ({own['licence']}, LICENSE.txt), the downloads of Light {version} hold "
            f"parts of the components below: {', '.join(binaries[:-1])} and {binaries[-1]} link them statically, "
            "and the installer runs as NSIS's stub. Each is named with the Debian package it was built from, at "
            "the version this build used, and with the copyright notices and licences that the package's "
            "copyright file (/usr/share/doc/<package>/copyright) gives for the parts shipped; the texts they "
            "refer to follow, numbered.").replace("\n  ", "\n")
tail = "\n\n".join(f"[{number}] {title}\n\n{text.strip(chr(10))}" for number, (title, text) in enumerate(texts, 1))
with open(notices_file, "w", encoding="utf-8", newline="\r\n") as out:
    out.write("\n\n\n".join([f"Light {version}: third-party notices\n\n{head}", *sections, "== Texts ==\n\n" + tail])
              + "\n")
with open(components_file, "w") as out:
    json.dump({"own": {**own, "in": binaries}, "supplier": table["supplier"], "components": listed,
               "downloads": table["downloads"]}, out, indent=2)
