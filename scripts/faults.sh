#!/usr/bin/env bash
# Faults during `pelkocopy-cli import --remove` on a generated card of 1,000 files: the tool is
# killed at random moments (SIGKILL mostly, sometimes SIGTERM or SIGINT), a destination is made
# read-only midway, card files are removed midway; every other round copies under named
# temporaries, as on file systems without unnamed files. After each run, and again after a re-run
# that must complete: every file under a final destination name equals its source, no card file
# is gone without an identical copy, no temporary file is left on the card nor after the re-run in
# a destination. Prints the counts; exit status 1 on any failure. Takes minutes: not part of the
# tests. PELKO_FAULTS_SEED repeats a run's random choices.
#
#   bash scripts/faults.sh [BUILD_DIR] [KILLS]    (defaults: build, 50)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
kills=${2:-50}
cli=$(realpath "$build_dir/src/pelkocopy-cli")
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 2; }
work=$(mktemp -d /tmp/pelko-faults.XXXXXX)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

python3 - "$cli" "$work" "$kills" <<'EOF'
import os, random, shutil, signal, stat, subprocess, sys, time

cli, work, kills_wanted = sys.argv[1], sys.argv[2], int(sys.argv[3])
seed = int(os.environ.get("PELKO_FAULTS_SEED", int(time.time())))
rng = random.Random(seed)
print("seed: %d" % seed, flush=True)
TMP = ".pelkocopy-tmp-"
ref = os.path.join(work, "ref")          # the card as generated, never touched
card = os.path.join(work, "card")        # the card a run works on
dest = os.path.join(work, "dest")
kinds = {".PEF": "raw", ".JPG": "jpg", ".MOV": "mov"}

# 1,000 files in four folders: RAW, JPEG, movies and thumbnails (which stay on the card), with
# unique names so that each destination file tells its source.
exts = [".PEF"] * 4 + [".JPG"] * 4 + [".MOV", ".THM"]
sources = {}  # name -> path below DCIM
for i in range(1000):
    rel = os.path.join("DCIM", "%dPENTX" % (100 + i % 4), "IMGP%04d%s" % (i + 1, exts[i % 10]))
    os.makedirs(os.path.join(ref, os.path.dirname(rel)), exist_ok=True)
    with open(os.path.join(ref, rel), "wb") as f:
        f.write(rng.randbytes(rng.randint(1, 96 * 1024)))
    os.utime(os.path.join(ref, rel), (1700000000 + i, 1700000000 + i))
    sources[os.path.basename(rel)] = rel

def same(a, b):
    with open(a, "rb") as x, open(b, "rb") as y:
        return x.read() == y.read()

def fresh():
    for d in (card, dest):
        if os.path.exists(d):
            for root, dirs, _ in os.walk(d):
                os.chmod(root, 0o755)
            shutil.rmtree(d)
    shutil.copytree(ref, card)
    for sub in kinds.values():
        os.makedirs(os.path.join(dest, sub))

def command(named=False):
    # Named temporaries are what file systems without unnamed files get; kills can leave them.
    return [cli, "import", os.path.join(card, "DCIM"), "--raw", os.path.join(dest, "raw"),
            "--jpeg", os.path.join(dest, "jpg"), "--other", os.path.join(dest, "mov"),
            "--remove"] + (["--named-temporaries"] if named else [])

checked = 0
failures = []

def check(when, removed, after_rerun):
    """The invariants after a run; returns the temporaries left in the destinations."""
    global checked
    temporaries = 0
    copies = {}  # name -> paths below the destinations (JPEG files may go into a sub-folder)
    for sub in kinds.values():
        for root, _, files in os.walk(os.path.join(dest, sub)):
            for name in files:
                path = os.path.join(root, name)
                if name.startswith(TMP):
                    temporaries += 1
                    if after_rerun:
                        failures.append("%s: temporary left after a re-run: %s" % (when, path))
                    continue
                checked += 1
                copies.setdefault(name, []).append(path)
                if name not in sources:
                    failures.append("%s: unknown file %s" % (when, path))
                elif not same(path, os.path.join(ref, sources[name])):
                    failures.append("%s: %s differs from its source" % (when, path))
    for root, _, files in os.walk(card):
        for name in files:
            if name.startswith(TMP):
                failures.append("%s: temporary on the card: %s" % (when, os.path.join(root, name)))
    for name, rel in sources.items():
        checked += 1
        on_card = os.path.join(card, rel)
        if os.path.exists(on_card):
            if not same(on_card, os.path.join(ref, rel)):
                failures.append("%s: card file %s changed" % (when, rel))
            continue
        if name in removed:
            continue
        if not any(same(copy, os.path.join(ref, rel)) for copy in copies.get(name, [])):
            failures.append("%s: card file %s gone without an identical copy" % (when, rel))
    return temporaries

# How long one whole run takes, so that kills fall anywhere in it.
fresh()
started = time.monotonic()
first = subprocess.run(command(), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
full = time.monotonic() - started
if first.returncode != 0:
    failures.append("whole run: exit status %d: %s" % (first.returncode, first.stderr[-500:]))
check("whole run", set(), True)
print("one whole run: %.1f s" % full, flush=True)

counts = {"kills": 0, "read-only": 0, "removals": 0, "re-runs": 0, "temporaries after kill": 0,
          "early signals": 0}
round_no = -1
while counts["kills"] < kills_wanted and round_no < 3 * kills_wanted:
    round_no += 1
    fresh()
    removed = set()
    fault = round_no % 5  # 1: a destination turns read-only, 3: card files are removed
    named = round_no % 2 == 1
    run = subprocess.Popen(command(named), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    kill_at = rng.uniform(0.0, full)
    fault_at = rng.uniform(0.0, kill_at)
    if fault in (1, 3):
        time.sleep(fault_at)
        if fault == 1:
            os.chmod(os.path.join(dest, "jpg"), 0o555)
            counts["read-only"] += 1
        else:
            names = [n for n, rel in sources.items() if os.path.exists(os.path.join(card, rel))]
            for name in rng.sample(names, min(20, len(names))):
                try:
                    os.unlink(os.path.join(card, sources[name]))
                    removed.add(name)
                except FileNotFoundError:
                    pass  # the run took it after its copy
            counts["removals"] += 1
        time.sleep(kill_at - fault_at)
    else:
        time.sleep(kill_at)
    sig = rng.choice([signal.SIGKILL] * 4 + [signal.SIGTERM, signal.SIGINT])
    if run.poll() is None:
        run.send_signal(sig)
        counts["kills"] += 1
    _, err = run.communicate()
    when = "round %d (%s after %.2f s)" % (round_no + 1, signal.Signals(sig).name, kill_at)
    # A signal that lands before the tool installed its handlers (while it is being loaded)
    # ends it the default way, before it touched anything.
    if run.returncode in (-signal.SIGTERM, -signal.SIGINT):
        counts["early signals"] += 1
    elif run.returncode not in (0, 1, -signal.SIGKILL, 130, 143):
        failures.append("%s: exit status %d: %s" % (when, run.returncode, err[-500:]))
    counts["temporaries after kill"] += check(when, removed, False)

    os.chmod(os.path.join(dest, "jpg"), 0o755)
    rerun = subprocess.run(command(named), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                           timeout=max(60, 10 * full))
    counts["re-runs"] += 1
    if rerun.returncode != 0:
        failures.append("%s re-run: exit status %d: %s" % (when, rerun.returncode,
                                                           rerun.stderr[-500:]))
    check(when + " re-run", removed, True)

for line in failures[:40]:
    print("FAIL", line)
print("kills: %d (%d before the signal handlers), read-only destinations: %d, "
      "card removals: %d, re-runs: %d, "
      "temporaries left by kills (for the re-runs to remove): %d, files checked: %d, "
      "failures: %d"
      % (counts["kills"], counts["early signals"], counts["read-only"], counts["removals"], counts["re-runs"],
         counts["temporaries after kill"], checked, len(failures)))
sys.exit(1 if failures else 0)
EOF
