"""What a link put into a binary, from its map (ld -Map): each object file it loaded and each
archive member it took, and the source files each was compiled from, as its DWARF line table
names them (MinGW-w64's archives keep it; GCC's do not, nor do import libraries)."""
import functools
import os
import pathlib
import re
import subprocess
import tempfile

OBJDUMP = "x86_64-w64-mingw32-objdump"


def linked_objects(map_file):
    """(archive or None, object) for every object file the map says the link loaded: absolute
    paths made real, and relative ones, the build's own, as written."""
    text = pathlib.Path(map_file).read_text()
    # The members it took head the map; the objects it loaded open its memory map, before the
    # first section.
    taken = text[:text.index("\nDiscarded input sections")]
    script = text.index("\nLinker script and memory map")
    loaded = text[script:text.index("\n.text", script)]
    real = functools.lru_cache(maxsize=None)(lambda path: os.path.realpath(path) if os.path.isabs(path) else path)
    found = {(real(archive), member) for archive, member in re.findall(r"^(\S+\.a)\((\S+)\)$", taken, re.M)}
    found |= {(None, real(path)) for path in re.findall(r"^LOAD (\S+\.o)$", loaded, re.M)}
    if not found:
        raise ValueError(f"{map_file} names no object linked")
    return found


def line_table_sources(dump):
    """The source files in every line table of `objdump --dwarf=rawline` of one object: paths
    relative to the folder it was compiled in (the table's first folder) where they lie there,
    and absolute ones as written; the compiler's own "<built-in>" left out."""
    sources = set()
    for table in dump.split(" The Directory Table")[1:]:
        folders_part, _, files_part = table.partition(" The File Name Table")
        folders = re.findall(r"^\s+\d+\t(?:\(.*?\): )?(.+)$", folders_part.split("\n", 1)[1], re.M)
        for folder, name in re.findall(r"^\s+\d+\t(\d+)\t(?:\(.*?\): )?(.+)$",
                                       files_part.split("\n\n")[0], re.M):
            path = os.path.normpath(os.path.join(folders[int(folder)], name))
            if path.startswith(folders[0] + "/"):
                path = path[len(folders[0]) + 1:]
            if not path.startswith("<"):
                sources.add(path)
    return sources


def members(archive, names):
    """{name: bytes} of the named members of an ar archive (GNU's format, whose long names are
    kept in its "//" member)."""
    data, found, longnames, at = pathlib.Path(archive).read_bytes(), {}, b"", 8
    while at + 60 <= len(data):
        name, size = data[at:at + 16].decode().rstrip(), int(data[at + 48:at + 58])
        body = data[at + 60:at + 60 + size]
        if name == "//":
            longnames = body
        elif name.startswith("/") and name[1:].isdigit():
            start = int(name[1:])
            name = longnames[start:longnames.index(b"/\n", start)].decode()
        if name.rstrip("/") in names:
            found[name.rstrip("/")] = body
        at += 60 + size + size % 2
    return found


def sources_of(objects):
    """{(archive or None, object): its source files} for objects outside the build, their line
    tables read in one run of objdump. Members without any (those of import libraries) are
    passed over."""
    with tempfile.TemporaryDirectory() as work:
        files, by_archive, sources = {}, {}, {}
        for archive, member in objects:
            by_archive.setdefault(archive, set()).add(member)
            sources[(archive, member)] = set()
        for number, (archive, names) in enumerate(sorted(by_archive.items(), key=str)):
            taken = members(archive, names) if archive else {name: pathlib.Path(name).read_bytes() for name in names}
            for name, body in taken.items():
                if b".debug_line" in body:
                    files[(archive, name)] = os.path.join(work, f"{number}-{len(files)}.o")
                    pathlib.Path(files[(archive, name)]).write_bytes(body)
        keys = sorted(files, key=str)
        dump = subprocess.run([OBJDUMP, "--dwarf=rawline", *(files[key] for key in keys)], check=True,
                              capture_output=True, text=True).stdout if keys else ""
        # objdump heads each file's part with its name: the parts are split at the names, last
        # first.
        rest = dump
        for key in reversed(keys):
            rest, _, part = rest.rpartition(f"\n{files[key]}:     file format")
            sources[key] = line_table_sources(part)
        return sources
