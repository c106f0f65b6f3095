#!/usr/bin/env python3
"""Fails on any include that points upward in the layers of src/:

    apps        the three programs and the tables of what each is made of
    platform    gui, graphics, opengl, system (sound): windows and devices
    lang        values and engine: stores, evaluator, executors, procedures
    core        loading, statement compiler, name shortening, compiled format
    base        errors and messages, host seam, name lists, text helpers

A file may include headers of its own layer and of the layers below it.

With --compiler-build DIR it also checks that the compiler program of that
build links nothing but the two bottom layers.
"""
import os
import re
import sys

LAYERS = ["base", "core", "lang", "platform", "apps"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of_file(path, src):
    top = os.path.relpath(path, src).split(os.sep)[0]
    return top if top in LAYERS else None


def header_layer(include, src):
    """The layer of an included header, found as the compiler finds it."""
    for root, layer in ((src, None), (os.path.join(src, "lang"), "lang"),
                        (os.path.join(src, "platform"), "platform")):
        if os.path.exists(os.path.join(root, include)):
            return layer or layer_of_file(os.path.join(root, include), src)
    return None


def compiler_link(build):
    """Problems with what the compiler of a CMake build links."""
    bad = []
    link = os.path.join(build, "CMakeFiles", "korvac.dir", "link.txt")
    if not os.path.exists(link):
        return [f"{link} missing"]
    with open(link, encoding="utf-8") as f:
        words = f.read().split()
    libs = [w for w in words if w.endswith(".a") and "korv" in os.path.basename(w)]
    if [os.path.basename(w) for w in libs] != ["libkorv_compiler_core.a"]:
        bad.append(f"korvac links {libs}, expected only libkorv_compiler_core.a")
    objs = os.path.join(build, "CMakeFiles", "korv_compiler_core.dir", "src")
    for dirpath, _, files in os.walk(objs):
        for name in files:
            rel = os.path.relpath(os.path.join(dirpath, name), objs)
            if name.endswith(".o") and rel.split(os.sep)[0] not in ("base", "core"):
                bad.append(f"compiler core holds {rel}")
    if not os.path.isdir(os.path.join(objs, "core")):
        bad.append(f"{objs}/core missing")
    return bad


def main():
    args = sys.argv[1:]
    build = None
    if "--compiler-build" in args:
        i = args.index("--compiler-build")
        build = args[i + 1]
        del args[i:i + 2]
    root = args[0] if args else os.path.join(os.path.dirname(__file__), "..")
    src = os.path.join(os.path.abspath(root), "src")
    bad = []
    checked = 0
    for dirpath, _, files in os.walk(src):
        for name in files:
            if not name.endswith((".h", ".cpp", ".inc")):
                continue
            path = os.path.join(dirpath, name)
            own = layer_of_file(path, src)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            for inc in INCLUDE.findall(text):
                target = header_layer(inc, src)
                if target is None:
                    if not os.path.exists(os.path.join(dirpath, inc)):
                        bad.append(f"{os.path.relpath(path, src)}: {inc} not found")
                    continue
                checked += 1
                if LAYERS.index(target) > LAYERS.index(own):
                    bad.append(f"{os.path.relpath(path, src)} ({own}) includes {inc} ({target})")
    if build:
        bad += compiler_link(build)
    for line in bad:
        print("FAIL layering:", line)
    print(f"layers: {checked} includes checked, {len(bad)} pointing upward")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
