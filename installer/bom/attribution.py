"""Which component of components.json each part of the downloads belongs to, and which notice of
its package's copyright file it takes. Each object linked from outside the build belongs to a
component of the package that installed it: where the package's copyright file is
machine-readable and the object's line tables name its sources (MinGW-w64's), to the component
whose sources those are, each source taking its Files paragraph; otherwise (GCC's) to the
component that names its archive. Parts shipped as they come (NSIS's) take the paragraphs of the
folders their sources are in. Anything components.json does not cover is a problem, named: an
object of an archive or package no component names, a source under a licence its component does
not list, or a component that nothing holds."""
import os
import pathlib
import subprocess

import debian_copyright
import linked


def query(*arguments):
    return subprocess.run(["dpkg-query", *arguments], check=True, capture_output=True, text=True).stdout


def owners(paths, packages):
    """{path: the package that installed it}, from the packages' file lists, which is quicker than
    asking dpkg of each path; dpkg is asked of those that no such package installed."""
    found = {}
    for package in packages:
        listed = set(pathlib.Path(f"/var/lib/dpkg/info/{package}.list").read_text().splitlines())
        found.update({path: package for path in paths if path in listed})
    others = [path for path in paths if path not in found]
    asked = subprocess.run(["dpkg-query", "-S", *others], capture_output=True, text=True).stdout if others else ""
    return {**{path: "(none)" for path in others},
            **dict(line.split(": ", 1)[::-1] for line in asked.splitlines() if ": " in line), **found}


class Attribution:
    def __init__(self, table, table_file):
        self.table, self.table_file, self.problems, self.copyrights = table, table_file, [], {}
        self.found = {c["name"]: {"stanzas": {}, "in": set(), "objects": set()} for c in table["components"]}
        self.by_package = {}
        for component in table["components"]:
            self.by_package.setdefault(component["package"], []).append(component)

    def copyright(self, package):
        if package not in self.copyrights:
            self.copyrights[package] = debian_copyright.Copyright(package)
        return self.copyrights[package]

    def take(self, component, stanza, label, where):
        """A Files paragraph's notice for one source, provided its licences are listed."""
        for licence in debian_copyright.licence_names(stanza):
            if licence not in component["licences"]:
                self.problems.append(
                    f"{where} holds {label}, which {component['package']}'s copyright file puts under {licence}, a "
                    f"licence that the {component['name']} component of {self.table_file} does not list: read it, "
                    "and list it there if it may be shipped")
        self.found[component["name"]]["stanzas"].setdefault(id(stanza), (stanza, set()))[1].add(label)

    def linked(self, objects):
        """{binary: {(archive or None, object)}}, the objects from outside the build."""
        owner = owners(sorted({archive or member for held in objects.values() for archive, member in held}),
                       self.by_package)
        sources = linked.sources_of({o for held in objects.values() for o in held
                                     if "sources" in self.by_package.get(owner[o[0] or o[1]], [{}])[0]})
        for binary, held in objects.items():
            for archive, member in sorted(held, key=str):
                self.object(binary, owner[archive or member], archive, member, sources.get((archive, member)))

    def object(self, binary, package, archive, member, sources):
        file = os.path.basename(archive or member)
        label = f"{file}({member})" if archive else file
        candidates = self.by_package.get(package)
        if not candidates:
            self.problems.append(f"{binary} links {label}, from the package {package}, which no component of "
                                 f"{self.table_file} names: add the component, with its notices")
        elif "sources" not in candidates[0]:
            named = [c for c in candidates if file in c["archives"]]
            if not named:
                self.problems.append(f"{binary} links {label}, from {package}, whose components of {self.table_file} "
                                     "name other archives: add its component, with its notices")
            else:
                self.found[named[0]["name"]]["objects"].add(label)
                self.found[named[0]["name"]]["in"].add(binary)
        else:
            # An object whose line tables name no source (an import library's) takes the
            # package's general paragraph, "Files: *".
            for source in sorted(sources) or [""]:
                for installed, origin in candidates[0].get("installed headers", {}).items():
                    source = origin + source[len(installed):] if source.startswith(installed) else source
                if os.path.isabs(source):
                    self.problems.append(f"{binary} links {label}, built from {source}, none of {package}'s sources")
                    continue
                component = [c for c in candidates if debian_copyright.glob(c["sources"]).fullmatch(source)][-1]
                self.found[component["name"]]["in"].add(binary)
                try:
                    self.take(component, self.copyright(package).stanza(source), source or file, binary)
                except LookupError as error:
                    self.problems.append(f"{binary} links {label}: {error}")

    def shipped_as_they_come(self):
        for component in (c for c in self.table["components"] if "files" in c):
            owner = owners(component["files"], [component["package"]])
            self.problems += [f"{part} is not {component['package']}'s but {owner.get(part)}'s"
                              for part in component["files"] if owner.get(part) != component["package"]]
            what = self.found[component["name"]]
            what["in"] = {d for d, held in self.table["downloads"].items() if component["name"] in held}
            what["objects"] = {os.path.basename(part) for part in component["files"]}
            for folder in component["folders"]:
                for stanza in self.copyright(component["package"]).stanzas_within(folder):
                    self.take(component, stanza, stanza["Files"], "the installer")

    def check_held(self):
        self.problems += [f"{self.table_file} names the component {name}, which no shipped file holds: remove it"
                          for name, what in self.found.items() if not what["in"]]
