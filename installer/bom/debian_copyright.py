"""A Debian package's copyright file (/usr/share/doc/<package>/copyright): in the machine-readable
format (copyright-format 1.0), which file is under which copyright and licence; in any other
format, the excerpts a component names."""
import functools
import pathlib
import re


def paragraphs(text):
    """Each paragraph as {field: value}; a value's continuation lines start with a space or a
    tab, and a line holding only "." stands for an empty one."""
    found = []
    for block in re.split(r"\n[ \t]*\n", text.strip("\n")):
        fields, name = {}, None
        for line in block.splitlines():
            if line[:1] in (" ", "\t") and name:
                fields[name] += "\n" + ("" if line.strip() == "." else line.strip())
            elif ":" in line:
                name, value = line.split(":", 1)
                fields[name] = value.strip()
        found.append(fields)
    return found


@functools.lru_cache(maxsize=None)
def glob(pattern):
    """A Files pattern: * matches any characters, / included, and ? any one; nothing else is
    special."""
    return re.compile("".join(".*" if c == "*" else "." if c == "?" else re.escape(c) for c in pattern))


class Exact(str):
    """A Files pattern without * or ?, which names one file: compared, not compiled."""
    def fullmatch(self, name):
        return self == name


class Copyright:
    def __init__(self, package):
        self.path = pathlib.Path(f"/usr/share/doc/{package}/copyright")
        self.text = self.path.read_text(encoding="utf-8")
        found = paragraphs(self.text)
        self.files = [(fields, [(p, glob(p) if "*" in p or "?" in p else Exact(p)) for p in fields["Files"].split()])
                      for fields in found if "Files" in fields]
        self.found = {}  # each source's paragraph, once looked up
        self.texts = {}  # a licence's text, from its own paragraph where a Files paragraph has none
        for fields in found:
            name, _, text = fields.get("License", "").partition("\n")
            if name and text.strip() and "Files" not in fields:
                self.texts.setdefault(name, text)

    def stanza(self, source):
        """The Files paragraph of a source file: the last that matches it, as the format says."""
        if source not in self.found:
            matching = [fields for fields, patterns in self.files if any(g.fullmatch(source) for _, g in patterns)]
            if not matching:
                raise LookupError(f"{self.path} has no Files paragraph for {source or 'all files'}")
            self.found[source] = matching[-1]
        return self.found[source]

    def stanzas_within(self, folder):
        """Every Files paragraph that may apply to a file inside the folder: one whose pattern
        matches any name there, or names a file there."""
        return [fields for fields, patterns in self.files
                if any(g.fullmatch(folder + "any") or p.startswith(folder) for p, g in patterns)]

    def licence_text(self, stanza, name):
        own = stanza["License"].partition("\n")[2]
        return own if own.strip() and stanza["License"].partition("\n")[0] == name else self.texts.get(name, "")

    def excerpt(self, first, last):
        """The lines from one that starts with `first` up to, not including, one that starts with
        `last`."""
        found = re.search(rf"^{re.escape(first)}.*?(?=^{re.escape(last)})", self.text, re.S | re.M)
        if not found:
            raise LookupError(f"{self.path} has no part from '{first}' to '{last}'")
        return found[0].strip("\n")


def licence_names(stanza):
    """The licences a Files paragraph names: "A and B" is both."""
    return stanza["License"].partition("\n")[0].split(" and ")
