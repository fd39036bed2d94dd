#!/usr/bin/env python3
"""Check's plan against the real run: random device trees and packages (the
generator of tests/wine/differential.py, with more kinds of entries); for
each, `nimbora-package check --json` on one copy of the tree (which it must
leave as it was), its plan replayed step by step on that copy, the real
`nimbora-update` on another copy, and the two trees compared: names in exact
letter case, bytes, read-only flags, and check's outcome text against the
one the run drew.

  plan_differential.py NIMBORA_PACKAGE NIMBORA_UPDATE

Prints "seed N" first. NIMBORA_PLAN_SEED repeats a run, NIMBORA_PLAN_CASES
sets the number of cases (50), NIMBORA_PLAN_CASE runs only the case of that
index. Each difference is printed with its seed, its case and the command
that repeats it; the trees of a run with differences are kept. Exit status 1
on any difference.

A step with an error left the tree as it was and is skipped. A "write" (the
new main.ini beside the old one) is replayed as the profile writer's values:
what main.ini holds at that step with "Version" set (the first write) or
"Update Time" set (the second), from the package's version and time that
check reports; main.ini and its two companions are compared by their values."""
import hashlib
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
import differential  # noqa: E402  (the Wine differential's generator and snapshot)
from differential import APP, SLOTS, STEMS, Tree, entry_for, instruction, variant  # noqa: E402

PLACES = {SLOTS[0]: "--card", SLOTS[1]: "--flash"}
MESSAGE_BAND = [20, 200, 780, 240]
PROFILE_NAMES = ("main.ini", "main.ini~new", "main.ini~old")
TIMES = ["2026-12-01 10:00:00", "2026-12-02 7:05:09", "", "yesterday", "2026-01-01 0:00:00"]


class Unreplayable(Exception):
    pass


# --- the cases ---------------------------------------------------------------

def disguised(rng, entry):
    """The entry as an author may write it: behind ".\\", through "..", a
    directory's name followed by full stops or blanks, a directory without
    its final backslash, slashes, or climbing out."""
    roll = rng.random()
    if roll < 0.1:
        entry = ".\\" + entry
    elif roll < 0.2:
        entry = variant(rng, rng.choice(STEMS)) + "\\..\\" + entry
    elif roll < 0.24:
        entry = "..\\" + variant(rng, "other") + "\\" + rng.choice(["notes.txt", ""])
    parts = entry.split("\\")
    inner = [i for i, part in enumerate(parts[:-1]) if part not in ("", ".", "..")]
    if inner and rng.random() < 0.2:  # a directory's name followed by what the device drops
        parts[rng.choice(inner)] += rng.choice([".", "..", " ", ". "])
        entry = "\\".join(parts)
    if entry.endswith("\\") and rng.random() < 0.25:
        entry = entry[:-1]
    if rng.random() < 0.05:
        entry = entry.replace("\\", "/")
    return entry


def list_lines(rng, key, entries):
    head, body = instruction(rng, key, [disguised(rng, entry) for entry in entries])
    if head[0].endswith("=all"):
        return head, body
    if rng.random() < 0.1:  # a count beyond the entries
        head = ["%s=%d" % (key, len(entries) + 1)]
    return head, body


def odd_name(rng, tree):
    """Sometimes a host name no device path can spell: its end is dropped."""
    if rng.random() < 0.15:
        name = variant(rng, rng.choice(STEMS)) + rng.choice([".", " ", ". ", ".txt."])
        tree.files[name] = (b"odd\n", rng.random() < 0.3)


def database(rng, tree):
    name = variant(rng, "database")
    tree.dirs.add(name)
    tree.files[name + "/" + variant(rng, "param") + ".dat"] = (b"station=17\r\n", rng.random() < 0.2)
    if rng.random() < 0.7:
        tree.files[name + "/records.csv"] = (b"2026-04-01,3\r\n", False)


def language_ini(words):
    return differential.crlf(["[Deutsch]", "Update=%s ..." % words, "Success=%s gut." % words,
                              "Error=%s schlecht." % words, "Press=Taste ..."])


def application(rng):
    app = Tree()
    app.add_random(rng, "", rng.choice([1, 2]), STEMS)
    if rng.random() < 0.6:
        database(rng, app)
    if rng.random() < 0.5:
        app.files["Language.ini"] = (language_ini("Alt"), False)
    if rng.random() < 0.3:
        app.files[".keep"] = (b"hidden\n", False)
    odd_name(rng, app)
    if rng.random() < 0.3:  # never started: the generated files have no execute bits
        app.files["Nimbora.exe"] = (b"stand-in\n", False)
    return app


def package_tree(rng):
    package = Tree()
    package.add_random(rng, "", rng.choice([1, 2]), STEMS)
    if rng.random() < 0.2:
        database(rng, package)
    if rng.random() < 0.3:
        package.files[variant(rng, "language") + ".ini"] = (language_ini("Neu"), rng.random() < 0.2)
    if rng.random() < 0.2:
        package.files["Update.exe"] = (b"updater\n", False)
    if rng.random() < 0.2:
        package.files[".hidden"] = (b"hidden\n", False)
    odd_name(rng, package)
    return package


def description(rng, app, package):
    deletes = [entry_for(rng, app) for _ in range(rng.randint(0, 3))]
    updates = [entry_for(rng, package) for _ in range(rng.randint(0, 4))]
    if rng.random() < 0.15:
        delete_head, delete_body = ["Delete=all"], []
    else:
        delete_head, delete_body = list_lines(rng, "Delete", deletes)
    update_head, update_body = list_lines(rng, "Update", updates)
    version = rng.choice(["2.0.0", "2.0.0", "2.0.0", "1.0.0", "0.9.0", "2.0"])
    time = rng.choice(TIMES)
    main = ["[Main]", "Version=" + version] + (["Update Time=" + time] if time else [])
    if delete_head == ["Delete=all"]:
        main += rng.choice([[], ["DeleteDatabase=true"], ["DeleteDatabase=TRUE"], ["DeleteDatabase=yes"]])
    if rng.random() < 0.3:
        main.append("DeleteParam=" + rng.choice(["true", "True", "1"]))
    lines = main + delete_head + update_head + delete_body + update_body
    text = "".join(line + "\r\n" for line in lines)
    if rng.random() < 0.2:
        return b"\xff\xfe" + text.encode("utf-16-le")
    return text.encode("utf-8")


def installed_main_ini(rng):
    lines = ["[Main]", "Title=Station %d" % rng.randint(1, 99), "Version=1.0.0"]
    if rng.random() < 0.7:
        lines.append("Update Time=2026-01-01 0:00:00")
    return differential.crlf(lines + ["", "[Option]", "Frequency=868M",
                                      "Langue=" + rng.choice(["English", "Deutsch"])])


def checksum_list(rng, package):
    """update.sha256 for the package's files, in the order the panel reads
    it; sometimes it lacks one of them."""
    lines = []
    for directory, dirs, files in os.walk(package):
        dirs[:] = [name for name in dirs if not name.startswith(".")]
        for name in files:
            if name.startswith("."):
                continue
            path = os.path.relpath(os.path.join(directory, name), package).replace(os.sep, "/")
            with open(os.path.join(directory, name), "rb") as data:
                lines.append((fold(path), "%s  %s\n" % (hashlib.sha256(data.read()).hexdigest(), path)))
    lines.sort()
    if lines and rng.random() < 0.3:
        del lines[rng.randrange(len(lines))]
    write_file(os.path.join(package, "update.sha256"), "".join(line for _, line in lines).encode())


def write_file(path, data, read_only=False):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)
    if read_only:
        os.chmod(path, 0o444)


def generate(rng, root):
    """One device tree with a package; returns the package's slot and the
    version and time of the package in the other slot, if any."""
    app = application(rng)
    package = package_tree(rng)
    slot = rng.choice(SLOTS)
    differential.write_tree(root, APP, app)
    differential.write_tree(root, slot, package)
    write_file(os.path.join(root, APP, "main.ini"), installed_main_ini(rng))
    write_file(os.path.join(root, slot, "update.ini"), description(rng, app, package))
    if rng.random() < 0.2:
        checksum_list(rng, os.path.join(root, slot))
    for area in differential.AREAS:
        write_file(os.path.join(root, area, "Other", "notes.txt"), b"other\n", rng.random() < 0.2)
    if rng.random() >= 0.25:
        return slot, None
    other = SLOTS[1 - SLOTS.index(slot)]  # a package there, older or newer
    version = rng.choice(["0.5.0", "3.0.0"])
    write_file(os.path.join(root, other, "update.ini"),
               differential.crlf(["[Main]", "Version=" + version, "Update=all"]))
    write_file(os.path.join(root, other, "extra.txt"), b"other package\n")
    return slot, {"version": version, "time": None}


# --- the replay ----------------------------------------------------------------

def fold(name):
    """Simple case folding, one character for one."""
    out = []
    for c in name:
        folded = c.casefold()
        out.append(folded if len(folded) == 1 else c.lower() if len(c.lower()) == 1 else c)
    return "".join(out)


def host_path(root, device_path):
    """The host path of a device path, as the host backend takes it: "."
    skipped, ".." up (never above the root), trailing full stops and blanks
    dropped (one full stop only before a separator), names matched ignoring
    letter case with an exact spelling first, a new name as spelled."""
    path = root
    for match in re.finditer(r"[^\\/]+", device_path):
        name = match.group()
        if name == ".":
            continue
        if name == "..":
            path = os.path.dirname(path) if path != root else root
            continue
        if match.end() == len(device_path):
            name = name.rstrip(". ")
        elif name.endswith("."):
            name = name[:-1]
        if not name:
            continue
        if name in (".", "..") or len(name.encode("utf-16-le")) // 2 >= 260:
            raise Unreplayable("%r names nothing on the device" % device_path)
        spelled = os.path.join(path, name)
        if not os.path.lexists(spelled) and os.path.isdir(path):
            for entry in os.listdir(path):
                if "\\" not in entry and fold(entry) == fold(name):
                    spelled = os.path.join(path, entry)
                    break
        path = spelled
    return path


def profile_values(data):
    """The values of a profile file: (section, key) folded -> value, first one kept."""
    if data.startswith(b"\xff\xfe"):
        text = data[2:].decode("utf-16-le", "replace")
    else:
        text = data.decode("utf-8", "replace").lstrip("\ufeff")
    values = {}
    section = None
    for line in text.replace("\r", "").split("\n"):
        if line.startswith("[") and "]" in line:
            section = line[1:line.index("]")]
        elif section is not None and "=" in line:
            key, value = line.split("=", 1)
            values.setdefault((fold(section), fold(key)), value)
    return values


def written_profile(root, step, writes, package):
    """What a write of main.ini~new holds: main.ini's values with one key set."""
    if not step["path"].endswith("~new") or writes >= 2:
        raise Unreplayable("no write of the profile writer's")
    current = host_path(root, step["path"][:-len("~new")])
    values = {}
    if os.path.isfile(current):
        with open(current, "rb") as data:
            values = profile_values(data.read())
    key, value = ("version", package["version"]) if writes == 0 else ("update time", package["time"])
    values[("main", key)] = "<no time>" if value is None else value
    by_section = {}
    for (section, name), text in values.items():
        by_section.setdefault(section, []).append("%s=%s" % (name, text))
    return differential.crlf([line for section, entries in by_section.items()
                              for line in ["[%s]" % section] + entries])


def copy_in_place(source, target, step):
    with open(source, "rb") as data:
        content = data.read()
    if len(content) != step["bytes"]:
        raise Unreplayable("the plan copies %d bytes, the source holds %d" % (step["bytes"], len(content)))
    if os.path.isdir(target):
        raise Unreplayable("the target is a directory")
    if step["replaces"] != os.path.lexists(target):
        raise Unreplayable("the plan says replaces=%s" % step["replaces"])
    with open(target, "r+b" if os.path.lexists(target) else "wb") as out:
        out.truncate(0)
        out.write(content)
    os.chmod(target, os.lstat(source).st_mode & 0o7777)


def replay_step(root, step, writes, package):
    path = host_path(root, step["path"])
    kind = step["step"]
    if kind == "delete":
        if not os.path.isfile(path):
            raise Unreplayable("no file there")
        os.unlink(path)
    elif kind == "attributes":
        mode = os.lstat(path).st_mode & 0o7777
        os.chmod(path, mode & ~0o222 if step["attributes"] & 1 else mode | 0o200)
    elif kind == "copy":
        copy_in_place(path, host_path(root, step["to"]), step)
    elif kind == "create":
        os.mkdir(path)
    elif kind == "remove":
        os.rmdir(path)
    elif kind == "move":
        target = host_path(root, step["to"])
        if os.path.lexists(target):
            raise Unreplayable("the new name is taken")
        os.rename(path, target)
    elif kind == "write":
        write_file(path, written_profile(root, step, writes, package))
    else:
        raise Unreplayable("unknown step")


def replay(root, check, written):
    """Carries out the plan's steps that succeeded; the problems, if any.
    written: the version and time of the package the run applies."""
    problems = []
    writes = 0
    for number, step in enumerate(check["plan"]):
        try:
            if step["error"] == 0:
                replay_step(root, step, writes, written)
        except (Unreplayable, OSError) as problem:
            problems.append("plan step %d %s cannot be carried out: %s" % (number, json.dumps(step, ensure_ascii=False), problem))
        writes += step["step"] == "write"
    return problems


# --- comparing -------------------------------------------------------------------

def snapshot(root):
    """The Wine differential's snapshot, with the profile files by their values."""
    entries = differential.snapshot(root)
    for path, value in entries.items():
        if isinstance(value, tuple) and fold(os.path.basename(path)) in PROFILE_NAMES:
            with open(os.path.join(root, path), "rb") as data:
                entries[path] = (sorted(profile_values(data.read()).items()), value[1])
    return entries


def tree_differences(replayed, real):
    return ["%s: plan %s, run %s" % (path, replayed.get(path, "absent"), real.get(path, "absent"))
            for path in sorted(set(replayed) | set(real)) if replayed.get(path) != real.get(path)]


def drawn_outcome(draw_log):
    """The message band's last text before the run waited for a key, or None."""
    outcome = None
    with open(draw_log, encoding="utf-8") as lines:
        for line in lines:
            entry = json.loads(line)
            if entry["op"] == "key":
                return outcome
            if entry["op"] == "text" and entry["rect"] == MESSAGE_BAND:
                outcome = entry["text"]
    return None


# --- one case ---------------------------------------------------------------------

def run(arguments, log):
    with open(log, "wb") as out:
        return subprocess.run(arguments, stdout=subprocess.PIPE, stderr=out, timeout=120)


def run_case(programs, rng, case):
    """The differences of one case."""
    fixture = os.path.join(case, "fixture")
    slot, other = generate(rng, fixture)
    planned, real = os.path.join(case, "plan"), os.path.join(case, "run")
    shutil.copytree(fixture, planned, symlinks=True)
    shutil.copytree(fixture, real, symlinks=True)
    before = differential.snapshot(planned)
    checked = run([programs[0], "check", "--json", PLACES[slot], "--device", planned,
                   os.path.join(planned, slot)], os.path.join(case, "check.err"))
    if checked.returncode not in (0, 1):
        return ["check ended with status %d" % checked.returncode]
    with open(os.path.join(case, "check.json"), "wb") as out:
        out.write(checked.stdout)
    check = json.loads(checked.stdout)
    differences = ["check changed the device: " + line
                   for line in tree_differences(differential.snapshot(planned), before)]
    # Versions of the other package are valid and it has no time, so its
    # values are known here; those of this package, check reads.
    ours = check["source"] == PLACES[slot][2:]
    differences += replay(planned, check, check["package"] if ours or other is None else other)
    draw_log = os.path.join(case, "draw.log")
    updated = run([programs[1], "--root", real, "--headless", "--virtual-clock", "--keys", "space",
                   "--draw-log", draw_log], os.path.join(case, "run.err"))
    if updated.returncode != 0:
        differences.append("the run ended with status %d" % updated.returncode)
    differences += tree_differences(snapshot(planned), snapshot(real))
    outcome = drawn_outcome(draw_log)
    if outcome != check["outcome"]:
        differences.append("outcome: check %s, run %s" % (json.dumps(check["outcome"], ensure_ascii=False),
                                                          json.dumps(outcome, ensure_ascii=False)))
    return differences


def main(arguments):
    if len(arguments) != 2:
        sys.stderr.write(__doc__)
        return 2
    programs = [os.path.abspath(program) for program in arguments]
    seed = os.environ.get("NIMBORA_PLAN_SEED") or str(random.SystemRandom().randrange(1 << 32))
    count = int(os.environ.get("NIMBORA_PLAN_CASES", "50"))
    only = os.environ.get("NIMBORA_PLAN_CASE")
    print("seed %s" % seed, flush=True)
    numbers = [int(only)] if only else range(count)
    work = tempfile.mkdtemp(prefix="nimbora-plan-")
    os.environ["NIMBORA_FONT_CACHE"] = os.path.join(work, "font-matches")  # matched once, for speed
    differing = 0
    for number in numbers:
        case = os.path.join(work, "case-%d" % number)
        differences = run_case(programs, random.Random("plan-%s-%d" % (seed, number)), case)
        if not differences:
            shutil.rmtree(case)
            continue
        differing += 1
        print("seed %s case %d: check's plan and the real run differ (%s):" % (seed, number, case))
        for line in differences:
            print("    " + line)
        print("  repeat: NIMBORA_PLAN_SEED=%s NIMBORA_PLAN_CASE=%d python3 %s %s %s" %
              (seed, number, os.path.abspath(__file__), programs[0], programs[1]), flush=True)
    print("plan differential: seed %s, %d of %d cases differ" % (seed, differing, len(numbers)))
    if differing == 0:
        shutil.rmtree(work)
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
