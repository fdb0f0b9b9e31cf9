#!/usr/bin/env python3
"""Single-point mutants of the core, each against its own folder's tests.

Each mutant changes one place of one folder (the rule a test should hold)
and is killed when that folder's test binary fails on it. The table names a
place by its text, with alternatives for older trees where the code stood
elsewhere, so that the same kinds of mutant can be tried before and after a
change.

  scripts/mutants.py [--source DIR] [--build DIR] [--only ID]

DIR defaults to this checkout and build/mutants inside it. The build has no
sanitizers, so that each mutant costs one compile and one link.
"""
import argparse
import os
import subprocess
import sys
import time

# id, folder, description, [(file, text, replacement), ...]
MUTANTS = [
    ("platform-inside", "platform", "a sibling folder whose name begins the same counts as inside",
     [("platform/file_system.cpp", "inner.compare(0, outer.size(), outer) == 0 &&\n         inner[outer.size()] == '/';",
       "inner.compare(0, outer.size(), outer) == 0;")]),
    ("platform-profile-fallback", "platform", "a key present with an empty value reads as missing",
     [("platform/profile_file.cpp", "    return std::string(utf8Prefix(value, kMaxValueChars));",
       "    if (value.empty()) return fallback;\n    return std::string(utf8Prefix(value, kMaxValueChars));")]),
    ("platform-whole-file-sync", "platform", "a replaced file is not put on the disk before the rename",
     [("platform/whole_file.cpp", "  if (Status s = out.sync(); !s.ok()) return fail(s.error);\n",
       "")]),
    ("pairs-line-limit", "pairs", "an assignment may make a line one character too long",
     [("pairs/pair_table.cpp", "  if (utf8Length(line) >= kMaxLineChars) throw tooLong(line);\n  return line;",
       "  if (utf8Length(line) > kMaxLineChars) throw tooLong(line);\n  return line;")]),
    ("pairs-state-limit", "pairs", "the state column keeps 21 characters",
     [("pairs/pair_table.cpp", '{"STAV", 20}', '{"STAV", 21}')]),
    ("pairs-items-limit", "pairs", "a line of 121 items is read",
     [("pairs/pair_table.cpp", "if (header.size() > kMaxItems) throw", "if (header.size() > kMaxItems + 1) throw")]),
    ("engine-time-precision", "engine", "a copy whose time differs by less than the target's step counts as changed",
     [("engine/file_stamp.cpp", "a.tv_nsec / unit == b.tv_nsec / unit", "a.tv_nsec == b.tv_nsec")]),
    ("engine-other-source", "engine", "the deletion pass enters another pair's source",
     [("engine/deletion_pass.cpp", "      if (isOtherSource(id)) {", "      if (false && isOtherSource(id)) {")]),
    ("engine-mass-deletion", "engine", "a deletion pass taking exactly half of the backup asks first",
     [("engine/pair_mirror.cpp", "2 * k > n &&", "2 * k >= n &&")]),
    ("engine-unmounted", "engine", "a mount point with nothing mounted takes the backup",
     [("engine/pair_mirror.cpp", "if (fs_.unmountedMountPointOf(target_) ||", "if (false ||"),
      ("engine/pair_mirror.cpp", "if (fs.unmountedMountPointOf(target) ||", "if (false ||")]),
    ("engine-last-run", "engine", "an interrupted run moves the last successful run",
     [("engine/backup_run.cpp", "  if (!result.anyFailed()) {\n    const LocalDateTime end",
       "  if (result.failedPairs == 0) {\n    const LocalDateTime end")]),
    ("schedule-latch", "schedule", "a matching minute starts a run at every tick",
     [("schedule/scheduler.cpp", "  if (!state_.firedThisMinute && matches && usable) {", "  if (matches && usable) {")]),
    ("schedule-history-clamp", "schedule", "a saved history above the limit is taken as it is",
     [("schedule/settings_values.cpp", "std::clamp(readInteger(file, \"HIST\", defaults.historyDays), 0, kMaxHistoryDays)",
       "std::max(readInteger(file, \"HIST\", defaults.historyDays), 0)"),
      ("schedule/settings.cpp", "std::clamp(readInteger(\"HIST\", kDefaultHistoryDays), 0, kMaxHistoryDays)",
       "std::max(readInteger(\"HIST\", kDefaultHistoryDays), 0)")]),
    ("schedule-minutes-check", "schedule", "\"Uložit\" takes a negative number of minutes",
     [("schedule/settings.cpp", "if (!value || *value < 0) throw", "if (!value) throw")]),
    ("log-close", "log", "a log whose close fails counts as written",
     [("log/run_log.cpp", "if (Status closed = file.value->close(); !closed.ok()) fail(closed.error);",
       "(void)file.value->close();")]),
    ("log-separator", "log", "the entries' separator is one dash short",
     [("log/run_log.cpp", "std::string(37, '-')", "std::string(36, '-')")]),
    ("program-after-run", "program", "the after-run action follows an interrupted run",
     [("program/program.cpp", "if (!result->stopped && !result->interrupted) takeAfterRunAction();",
       "if (!result->stopped) takeAfterRunAction();")]),
    ("program-log-error", "program", "a log error ends the command before the after-run action",
     [("program/program.cpp", "    logError = std::current_exception();", "    throw;")]),
    ("program-mass-question", "program", "a run the user started does not ask before a mass deletion",
     [("program/program.cpp", "  if (start == RunStart::ByUser) {", "  if (false) {")]),
]


def run(cmd, cwd, timeout=None):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=timeout).returncode


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", default=here)
    parser.add_argument("--build")
    parser.add_argument("--only")
    args = parser.parse_args()
    source = os.path.abspath(args.source)
    build = os.path.abspath(args.build or os.path.join(source, "build", "mutants"))
    if run(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Debug",
            "-DTAVRO_SANITIZE=OFF", "-DTAVRO_WERROR=OFF"], source) != 0:
        sys.exit("cmake failed")
    folders = sorted({m[1] for m in MUTANTS})
    for folder in folders:
        if run(["cmake", "--build", build, "-j2", "--target", folder + "_test"], source) != 0:
            sys.exit(folder + "_test does not build unmutated")
        if run([os.path.join(build, folder, folder + "_test")], source, 900) != 0:
            sys.exit(folder + "_test fails unmutated")
    killed = {f: 0 for f in folders}
    tried = {f: 0 for f in folders}
    for ident, folder, what, places in MUTANTS:
        if args.only and ident != args.only:
            continue
        applied = None
        for path, text, replacement in places:
            full = os.path.join(source, path)
            if not os.path.exists(full):
                continue
            original = open(full, encoding="utf-8").read()
            if original.count(text) == 1:
                applied = (full, original)
                open(full, "w", encoding="utf-8").write(original.replace(text, replacement))
                break
        if applied is None:
            print(f"{ident:28} NOT FOUND")
            continue
        started = time.time()
        try:
            if run(["cmake", "--build", build, "-j2", "--target", folder + "_test"], source) != 0:
                outcome = "does not build"
            else:
                try:
                    status = run([os.path.join(build, folder, folder + "_test")], source, 900)
                except subprocess.TimeoutExpired:
                    status = -1
                outcome = "killed" if status != 0 else "SURVIVED"
        finally:
            full, original = applied
            open(full, "w", encoding="utf-8").write(original)
        if outcome != "does not build":
            tried[folder] += 1
            killed[folder] += outcome == "killed"
        print(f"{ident:28} {outcome:14} {time.time() - started:5.0f} s  {what}", flush=True)
    # Leave the build as the tree is.
    for folder in folders:
        run(["cmake", "--build", build, "-j2", "--target", folder + "_test"], source)
    total = sum(killed.values())
    print("killed by the folder's own tests: " +
          ", ".join(f"{f} {killed[f]}/{tried[f]}" for f in folders) +
          f"; all {total}/{sum(tried.values())}")


if __name__ == "__main__":
    main()
