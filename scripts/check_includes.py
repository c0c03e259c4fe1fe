#!/usr/bin/env python3
"""Checks who includes what; exits 1 and names every offence.

- A product folder is seen by others only through its face, the headers
  under <folder>/include/. Its internals are included by plain name from
  the folder itself; a file elsewhere that reaches them fails.
- A folder uses only folders listed before it (FOLDERS below).
- Test faces (the include folders of the zoq_*_testing targets, given as
  --testing DIR) and tests/support/include are for tests, benchmarks and
  fuzz targets only (and for the folder that implements the face).
- Product code outside the window layer (runtime/ui) includes no Qt header.

A folder that has no include/ folder yet shows its top-level headers.
"""
import argparse
import pathlib
import re
import sys

# Folder order: each may use only those before it.
FOLDERS = ["platform", "text", "runtime/core", "runtime/ui", "fetch", "forms", "settings", "app"]
TEST_AREAS = ["tests", "bench", "fuzz"]
# Tools that run at build time on the building machine, not in the program.
BUILD_TOOLS = ["platform/tools", "forms/images"]
WINDOW_LAYER = "runtime/ui"

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)


def folder_of(rel):
    """The product folder a path (relative to the root) lies in, or None."""
    best = None
    for folder in FOLDERS:
        if rel == folder or rel.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def under(rel, prefixes):
    return any(rel == p or rel.startswith(p + "/") for p in prefixes)


def is_test_code(rel):
    return under(rel, TEST_AREAS) or rel.endswith("_test.cpp")


class Checker:
    def __init__(self, root, testing_dirs):
        self.root = root
        self.testing = [d.resolve() for d in testing_dirs]
        self.support = (root / "tests/support/include").resolve()
        self.offences = []

    def rel(self, path):
        return path.resolve().relative_to(self.root).as_posix()

    def face_dirs(self, folder):
        include = self.root / folder / "include"
        return [include] if include.is_dir() else None

    def resolve(self, includer, name):
        """(kind, folder) of what `name` names, or None when it is none of ours."""
        beside = includer.parent / name
        if beside.is_file():
            return "beside", folder_of(self.rel(beside))
        for folder in FOLDERS:
            faces = self.face_dirs(folder)
            if faces and any((d / name).is_file() for d in faces):
                return "face", folder
        for d in self.testing + [self.support]:
            if (d / name).is_file():
                return "testing", folder_of(self.rel(d / name))
        spelled = self.root / name
        if spelled.is_file():
            folder = folder_of(name)
            if folder is None:
                return None  # a test helper spelled from the root
            if self.face_dirs(folder) is None and spelled.parent == self.root / folder:
                return "face", folder  # not split yet
            return "internal", folder
        return None

    def check(self, path):
        rel = self.rel(path)
        own = folder_of(rel)
        test_code = is_test_code(rel)
        text = path.read_text(encoding="utf-8", errors="replace")
        for bracket, name in INCLUDE.findall(text):
            where = f"{rel}: #include {bracket}{name}{'>' if bracket == '<' else chr(34)}"
            if bracket == "<":
                qt = re.match(r"Q[A-Z]\w*$|Qt\w*/", name)
                if qt and not test_code and own and own != WINDOW_LAYER \
                        and not under(rel, BUILD_TOOLS):
                    self.offences.append(f"{where}: Qt outside the window layer")
                continue
            found = self.resolve(path, name)
            if found is None:
                continue
            kind, folder = found
            if kind == "beside":
                continue
            if kind == "internal":
                self.offences.append(f"{where}: an internal header of {folder}/")
            elif kind == "testing" and not test_code and folder != own:
                self.offences.append(f"{where}: a test face in product code")
            elif kind == "face" and own and not test_code and \
                    FOLDERS.index(folder) > FOLDERS.index(own):
                self.offences.append(f"{where}: {own}/ reaches {folder}/, which comes later")

    def run(self):
        top = sorted({folder.split("/")[0] for folder in FOLDERS})
        for area in top + TEST_AREAS:
            base = self.root / area
            if not base.is_dir():
                continue
            for path in sorted(base.rglob("*")):
                if path.suffix in (".h", ".cpp", ".in", ".inc") and path.is_file():
                    self.check(path)
        return self.offences


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=pathlib.Path(__file__).resolve().parent.parent,
                        type=pathlib.Path)
    parser.add_argument("--testing", action="append", default=[], type=pathlib.Path,
                        help="include folder of a test face (repeatable)")
    args = parser.parse_args()
    offences = Checker(args.root.resolve(), args.testing).run()
    for offence in offences:
        print(offence)
    if offences:
        print(f"{len(offences)} include(s) break the layout", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
