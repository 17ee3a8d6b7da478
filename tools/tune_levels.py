#!/usr/bin/env python3
"""Tunes the computer's levels with the strength harness and writes what it
found to host/level_tuning.h, and the points a turn each level scored to
rules/computer_levels.h.

Each level above Beginner has one knob from 0 (weakest) to 1: it sets how
much of what the level saw it forgets, among how many best words it chooses,
how much of its vocabulary it thinks of in a turn and when it buys a new bar;
its vocabulary (the largest word-list size it knows) is fixed by the level.
From Casual up, each level's knob is found by bisection so that it beats the
level below it in about TARGET of the games. A final run of the whole ladder
gives the figures.

Usage: tools/tune_levels.py [--harness PATH] [--games N] [--final N]
                            [--target P] [--write] [--final-only]
"""
import argparse
import os
import re
import subprocess
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
LEVELS = ["beginner", "casual", "club", "strong", "expert"]
# The commonest words for Casual, more for Club and Strong, all for Expert.
LIST_SIZES = {"casual": 10, "club": 35, "strong": 70, "expert": 0}
TUNING = os.path.join(ROOT, "host", "level_tuning.h")
LEVELS_HEADER = os.path.join(ROOT, "rules", "computer_levels.h")


def skill(level, t):
    """listSize, forget, choices, buyBelow, listPercent for knob t."""
    return (LIST_SIZES[level], round(90 * (1 - t)), 1 + round(5 * (1 - t)),
            round(25 * t), round(5 + 95 * t))


def skill_arg(level, values):
    return f"{level}=" + ",".join(str(v) for v in values)


def run(harness, games, pairs, skills):
    cmd = [harness, "--games", str(games), "--check-labels", "1000"]
    for a, b in pairs:
        cmd += ["--pair", f"{a}:{b}"]
    for level, values in skills.items():
        cmd += ["--skill", skill_arg(level, values)]
    out = subprocess.run(cmd, capture_output=True, text=True).stdout
    return out


def win_rate(out):
    m = re.search(r"wins ([\d.]+) % \[", out)
    return float(m.group(1)) / 100


def read_tuning():
    """The skills the tuning file holds now."""
    text = open(TUNING).read()
    skills = {}
    for level, values in re.findall(r"// (\w+)\n\s*LevelSkill\{([\d, ]+)\}", text):
        forget, percent, buy, size, choices = (int(v) for v in values.split(","))
        skills[level.lower()] = (size, forget, choices, buy, percent)
    return skills


def write_tuning(skills, points):
    lines = [
        "// How each computer level plays, as tools/tune_levels.py found it with",
        "// tilewhirl-strength; generated, do not edit. The points a turn each level",
        "// scored go to rules/computer_levels.h.",
        "#pragma once",
        "",
        "#include <array>",
        "",
        "#include \"computer_engine.h\"",
        "",
        "namespace tw {",
        "",
        "// forgetPercent, listPercent, buyBelow, listSize, choices.",
        "inline constexpr LevelSkills kTunedSkills = {",
    ]
    for level in LEVELS:
        size, forget, choices, buy, percent = skills.get(level, (0, 0, 1, 0, 100))
        lines.append(f"    // {level.capitalize()}")
        lines.append(f"    LevelSkill{{{forget}, {percent}, {buy}, {size}, {choices}}},")
    lines += [
        "};",
        "",
        "}  // namespace tw",
        "",
    ]
    with open(TUNING + ".new", "w") as f:
        f.write("\n".join(lines))
    os.replace(TUNING + ".new", TUNING)
    # The labels every part shows carry the points, so they live with the levels' names.
    with open(LEVELS_HEADER) as f:
        text = f.read()
    figures = ", ".join(str(round(points[level])) for level in LEVELS)
    text = re.sub(r"(kLevelPointsATurn = \{)[^}]*(\};)", lambda m: m.group(1) + figures + m.group(2), text)
    with open(LEVELS_HEADER + ".new", "w") as f:
        f.write(text)
    os.replace(LEVELS_HEADER + ".new", LEVELS_HEADER)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--harness", default=os.path.join(ROOT, "build", "bin", "tilewhirl-strength"))
    ap.add_argument("--games", type=int, default=250, help="games a step of the search")
    ap.add_argument("--final", type=int, default=1000, help="games a pairing of the final run")
    ap.add_argument("--target", type=float, default=0.78)
    ap.add_argument("--steps", type=int, default=5)
    ap.add_argument("--write", action="store_true", help="write host/level_tuning.h")
    ap.add_argument("--final-only", action="store_true", help="keep the skills, measure the figures")
    args = ap.parse_args()

    skills = read_tuning() if args.final_only else {}
    if not args.final_only:
        below = "beginner"
        for level in LEVELS[1:]:
            lo, hi, tried = 0.0, 1.0, []
            for _ in range(args.steps):
                t = (lo + hi) / 2
                trial = dict(skills)
                trial[level] = skill(level, t)
                p = win_rate(run(args.harness, args.games, [(level, below)], trial))
                tried.append((abs(p - args.target), t, p))
                print(f"{level} t={t:.3f} {skill(level, t)}: wins {100 * p:.1f} % against {below}", flush=True)
                if p < args.target:
                    lo = t
                else:
                    hi = t
            _, t, p = min(tried)
            skills[level] = skill(level, t)
            print(f"{level}: {skills[level]} ({100 * p:.1f} %)", flush=True)
            below = level

    pairs = [(LEVELS[n], LEVELS[n - 1]) for n in range(1, len(LEVELS))] + [("expert", "beginner")]
    out = run(args.harness, args.final, pairs, skills)
    print(out, flush=True)
    points = {level.lower(): float(v)
              for level, v in re.findall(r"^label (\w+)\s+([\d.]+) points a turn", out, re.M)}
    if args.write:
        write_tuning(skills, points)
        print(f"wrote {TUNING}")


if __name__ == "__main__":
    sys.exit(main())
