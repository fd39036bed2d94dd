#!/usr/bin/env python3
"""Random device trees for the differential between the host program and
Update.exe under Wine, and the comparison of what each left.

  differential.py generate SEED COUNT DIR   lays out DIR/case-N/fixture
  differential.py compare CASE_DIR          compares CASE_DIR/wine and
      CASE_DIR/host (trees and outcome files); prints each difference, then
      "tolerated N" (the files showing the tolerated deviation), and exits 1
      when there is a difference

Names mix letter cases (Latin, Latin-1, Greek, Cyrillic), entries get
trailing full stops, blanks and backslashes (also after a file's name), and
some files are read-only."""
import hashlib
import os
import random
import stat
import sys

APP = "ResidentFlash/Nimbora"
SLOTS = ["Storage Card/Update Nimbora", "ResidentFlash/Update Nimbora"]
AREAS = ["ResidentFlash", "Storage Card"]
# Each stem's upper case is one character for one, as in the system's
# simple case mapping.
STEMS = ["alpha", "notes", "skins", "maps", "ωmega", "дата", "ÿes", "über", "émile", "σοφία",
         "jalapeño", "ǆungla"]
EXTENSIONS = ["", ".txt", ".dat", ".ini"]


def variant(rng, stem):
    return rng.choice([stem, stem.upper(), stem[:1].upper() + stem[1:]])


class Tree:
    """The files (path -> (bytes, read-only)) and directories of one area."""

    def __init__(self):
        self.files = {}
        self.dirs = set()

    def names_in(self, directory):
        prefix = directory + "/" if directory else ""
        names = set()
        for path in list(self.files) + list(self.dirs):
            if path.startswith(prefix) and "/" not in path[len(prefix):]:
                names.add(path[len(prefix):].upper())
        return names

    def add_random(self, rng, directory, depth, stems):
        for _ in range(rng.randint(1, 4)):
            stem = rng.choice(stems)
            is_dir = depth > 0 and rng.random() < 0.3
            name = variant(rng, stem) + ("" if is_dir else rng.choice(EXTENSIONS))
            if name.upper() in self.names_in(directory):
                continue
            path = directory + "/" + name if directory else name
            if is_dir:
                self.dirs.add(path)
                self.add_random(rng, path, depth - 1, stems)
            else:
                content = ("%s %d\n" % (name, rng.randint(0, 999))).encode()
                self.files[path] = (content, rng.random() < 0.25)


def entry_for(rng, tree):
    """A package entry naming something in the tree (or nothing), disguised."""
    choices = sorted(tree.files) + sorted(tree.dirs)
    if not choices or rng.random() < 0.1:
        return variant(rng, rng.choice(STEMS)) + ".txt"
    path = rng.choice(choices)
    is_dir = path in tree.dirs
    parts = path.split("/")
    if rng.random() < 0.4:
        parts[-1] = variant(rng, parts[-1].lower())
    text = "\\".join(parts)
    roll = rng.random()
    if roll < 0.2:
        text += rng.choice([".", " ", ". "])
    if is_dir or roll > 0.85:
        text += "\\"  # a directory entry, or a file named as one
    return text


def instruction(rng, key, entries):
    if rng.random() < 0.15:
        return ["%s=all" % key], []
    lines = ["file%d=%s" % (i + 1, entry) for i, entry in enumerate(entries)]
    return ["%s=%d" % (key, len(entries))], ["[%s]" % key] + lines if lines else []


def write_tree(root, area_path, tree):
    base = os.path.join(root, area_path)
    os.makedirs(base, exist_ok=True)
    for path in tree.dirs:
        os.makedirs(os.path.join(base, path), exist_ok=True)
    for path, (content, read_only) in tree.files.items():
        full = os.path.join(base, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as out:
            out.write(content)
        if read_only:
            os.chmod(full, 0o444)


def crlf(lines):
    return "".join(line + "\r\n" for line in lines).encode("utf-8")


def generate(seed, count, directory):
    for number in range(count):
        rng = random.Random("%s-%d" % (seed, number))
        case = os.path.join(directory, "case-%d" % number, "fixture")
        app = Tree()
        app.add_random(rng, "", 1, STEMS)
        package = Tree()
        package.add_random(rng, "", 1, STEMS)
        deletes = [entry_for(rng, app) for _ in range(rng.randint(0, 3))]
        updates = [entry_for(rng, package) for _ in range(rng.randint(0, 4))]
        delete_head, delete_body = instruction(rng, "Delete", deletes)
        update_head, update_body = instruction(rng, "Update", updates)
        extra = ["DeleteParam=true"] if rng.random() < 0.2 else []
        description = (["[Main]", "Version=2.0.0"] + extra + delete_head + update_head +
                       delete_body + update_body)
        write_tree(case, APP, app)
        slot = rng.choice(SLOTS)
        write_tree(case, slot, package)
        os.makedirs(os.path.join(case, "Storage Card"), exist_ok=True)
        with open(os.path.join(case, APP, "main.ini"), "wb") as out:
            out.write(crlf(["[Main]", "Version=1.0.0"]))
        with open(os.path.join(case, slot, "update.ini"), "wb") as out:
            out.write(crlf(description))
        words = rng.choice(["", "", "", "", "SUCCESS", "FAILURE"])
        with open(os.path.join(case, "..", "words"), "w") as out:
            out.write(words)


def snapshot(root):
    """Every path under the areas: directories, and files' bytes and read-only flags."""
    entries = {}
    for area in AREAS:
        for directory, dirs, files in os.walk(os.path.join(root, area)):
            relative = os.path.relpath(directory, root)
            entries[relative] = "directory"
            for name in files:
                full = os.path.join(directory, name)
                mode = os.lstat(full).st_mode
                with open(full, "rb") as data:
                    digest = hashlib.sha1(data.read()).hexdigest()[:12]
                read_only = (mode & 0o222) == 0
                entries[os.path.join(relative, name)] = (digest, read_only)
    return entries


def kept_own_flag(path, wine, host, fixture):
    """Wine's one tolerated deviation: an overwritten file keeps its own
    read-only flag, where the host gives it the source's (as Windows does)."""
    if not (isinstance(wine, tuple) and isinstance(host, tuple) and wine[0] == host[0]):
        return False
    own = fixture.get(path)
    if not isinstance(own, tuple) or own[1] != wine[1]:
        return False
    inside = os.path.relpath(path, APP).upper()
    return any(isinstance(value, tuple) and value[1] == host[1] and
               os.path.relpath(source, slot).upper() == inside
               for slot in SLOTS for source, value in fixture.items()
               if source.startswith(slot + "/"))


def read(path):
    with open(path, encoding="utf-8") as text:
        return text.read().strip()


def compare(case):
    fixture = snapshot(os.path.join(case, "fixture"))
    wine = snapshot(os.path.join(case, "wine"))
    host = snapshot(os.path.join(case, "host"))
    differences = []
    tolerated = 0
    for path in sorted(set(wine) | set(host)):
        if wine.get(path) == host.get(path):
            continue
        if kept_own_flag(path, wine.get(path), host.get(path), fixture):
            tolerated += 1
            continue
        differences.append("%s: wine %s, host %s" % (path, wine.get(path, "absent"),
                                                   host.get(path, "absent")))
    outcomes = read(os.path.join(case, "wine.outcome")), read(os.path.join(case, "host.outcome"))
    if outcomes[0] != outcomes[1]:
        differences.append("outcome: wine %s, host %s" % outcomes)
    for line in differences:
        print("    " + line)
    print("tolerated %d" % tolerated)
    return 1 if differences else 0


def main(arguments):
    if len(arguments) == 4 and arguments[0] == "generate":
        generate(arguments[1], int(arguments[2]), arguments[3])
        return 0
    if len(arguments) == 2 and arguments[0] == "compare":
        return compare(arguments[1])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
