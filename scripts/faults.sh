#!/usr/bin/env bash
# Faults that must never lose a file, each part printing its runs, kills, files checked and
# failures; exit status 1 on any failure. Takes minutes: not part of the tests.
#
#   import   `pelkocopy-cli import --remove` on a generated card of 1,000 files, killed at random
#            moments (SIGKILL mostly, sometimes SIGTERM or SIGINT), a destination made read-only
#            midway, card files removed midway; every other round copies under named temporaries,
#            as on file systems without unnamed files. After each run, and again after a re-run
#            that must complete: every file under a final destination name equals its source, no
#            card file is gone without an identical copy, no temporary file is left on the card
#            nor after the re-run in a destination.
#   full     the same card imported into small file systems (as root: tmpfs, else an ext4 image on
#            a loop device; skipped when neither can be mounted), some already partly filled: the
#            run fails the files that do not fit with exit status 1 and a failed row each, leaves no
#            partial file and no temporary, removes no card file without its copy; once there is
#            room a re-run completes.
#   sidecar  `pelkocopy-cli sidecar --execute` on a tree of some hundreds of sidecars (pictures
#            elsewhere, no picture, a different file already at the destination), killed at random
#            moments: no sidecar lost or changed, none present in two versions, a file in the way
#            never replaced, only orphans deleted, no temporary left; a re-run carries out the rest
#            and leaves nothing to move but the sidecars a different file stands in the way of.
#   stats    `pelkocopy-cli import --mode --remove` killed at random moments: each settings and
#            statistics file (ini and text files of the application folder and the working
#            ImgCount.txt) holds its old bytes or those a whole run writes (after a SIGTERM or
#            SIGINT, which save what was counted, it parses and its values agree); PelkoData.db
#            passes its integrity check, its rows add up, and `stats` reads it; a re-run completes
#            and leaves no temporary.
#   window   the window `pelkocopy` (offscreen, statistics mode) asked to close by SIGTERM, then
#            killed by SIGKILL at random moments of its close: every ini and text file of its
#            application folder holds its old bytes or those a whole close writes, the database
#            stays whole; the next start and close leave no temporary. Skipped when the window
#            program was not built.
#   In the stats and window parts no file may lose its owner's read or write permission.
#
# PELKO_FAULTS_SEED repeats a run's random choices; PELKO_FAULTS_PARTS picks parts (a comma-
# separated list of the names above, default all); PELKO_FAULTS_FS=ext4 tries the loop device
# before tmpfs.
#
#   bash scripts/faults.sh [BUILD_DIR] [KILLS]
#
# (defaults: build, 50; the sidecar part makes 3/5 as many kills, the stats and window parts 2/5)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
kills=${2:-50}
cli=$(realpath "$build_dir/src/pelkocopy-cli")
app=$(realpath -m "$build_dir/src/pelkocopy")
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 2; }
work=$(mktemp -d /tmp/pelko-faults.XXXXXX)
cleanup() {
    # The small file systems of the full part, innermost first; an image's loop device goes with
    # its mount.
    awk -v w="$work/" 'index($2, w) == 1 { print $2 }' /proc/mounts | sort -r |
        while read -r mounted; do umount "$mounted" 2>/dev/null || umount -l "$mounted"; done
    chmod -R u+w "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

python3 - "$cli" "$app" "$work" "$kills" <<'EOF'
import json, os, random, re, shutil, signal, sqlite3, stat, subprocess, sys, time

cli, app, work, kills_wanted = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
seed = int(os.environ.get("PELKO_FAULTS_SEED", int(time.time())))
parts = os.environ.get("PELKO_FAULTS_PARTS", "import,full,sidecar,stats,window").split(",")
rng = random.Random(seed)
print("seed: %d" % seed, flush=True)
TMP = ".pelkocopy-tmp-"
SIGNALS = [signal.SIGKILL] * 4 + [signal.SIGTERM, signal.SIGINT]
ref = os.path.join(work, "ref")          # the card as generated, never touched
card = os.path.join(work, "card")        # the card a run works on
dest = os.path.join(work, "dest")
kinds = {".PEF": "raw", ".JPG": "jpg", ".MOV": "mov"}
FILLER = "FILLER.BIN"                    # what fills a small file system beforehand


class Part:
    """The counts and failures of one part."""

    def __init__(self, name):
        self.name, self.checked, self.failures, self.counts = name, 0, [], {}

    def fail(self, text):
        self.failures.append(text)

    def add(self, key, n=1):
        self.counts[key] = self.counts.get(key, 0) + n

    def report(self, text):
        for line in self.failures[:40]:
            print("FAIL %s: %s" % (self.name, line))
        print("%s: %s, files checked: %d, failures: %d"
              % (self.name, text, self.checked, len(self.failures)), flush=True)
        return len(self.failures)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def same(a, b):
    return read(a) == read(b)


def make_writable_and_remove(path):
    if os.path.lexists(path):
        for root, dirs, _ in os.walk(path):
            os.chmod(root, 0o755)
        shutil.rmtree(path)


def files_below(folder):
    """Every file below folder: relative path -> bytes."""
    found = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            found[os.path.relpath(path, folder)] = read(path)
    return found


def unreadable_below(folder):
    """Files their owner can no longer read or write (a settings file written with mode 0)."""
    return [os.path.join(root, name) for root, _, names in os.walk(folder) for name in names
            if os.stat(os.path.join(root, name)).st_mode & 0o600 != 0o600]


def temporaries_below(folder):
    return [os.path.join(root, name) for root, _, names in os.walk(folder)
            for name in names if name.startswith(TMP)]


def run_started(cmd, env=None):
    return subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)


def signal_at(run, at, sig):
    """Sends sig at `at` seconds after the start unless the run ended; True when sent."""
    time.sleep(at)
    if run.poll() is not None:
        return False
    run.send_signal(sig)
    return True


def status_ok_after(part, when, run, err):
    # A signal that lands before the tool installed its handlers (while it is being loaded) ends
    # it the default way, before it touched anything.
    if run.returncode in (-signal.SIGTERM, -signal.SIGINT):
        part.add("early signals")
    elif run.returncode not in (0, 1, -signal.SIGKILL, 130, 143):
        part.fail("%s: exit status %d: %s" % (when, run.returncode, err[-500:]))


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
card_bytes = sum(os.path.getsize(os.path.join(ref, rel)) for rel in sources.values())


def fresh(make_dest=True):
    for d in (card, dest):
        make_writable_and_remove(d)
    shutil.copytree(ref, card)
    if make_dest:
        for sub in kinds.values():
            os.makedirs(os.path.join(dest, sub))


def command(named=False, extra=()):
    # Named temporaries are what file systems without unnamed files get; kills can leave them.
    return [cli, "import", os.path.join(card, "DCIM"), "--raw", os.path.join(dest, "raw"),
            "--jpeg", os.path.join(dest, "jpg"), "--other", os.path.join(dest, "mov"),
            "--remove"] + (["--named-temporaries"] if named else []) + list(extra)


def check_import(part, when, removed, after_rerun):
    """The invariants of a card and its destinations after a run; returns the temporaries left
    in the destinations."""
    temporaries = 0
    copies = {}  # name -> paths below the destinations (JPEG files may go into a sub-folder)
    for sub in kinds.values():
        for root, _, files in os.walk(os.path.join(dest, sub)):
            for name in files:
                path = os.path.join(root, name)
                if name == FILLER:
                    continue
                if name.startswith(TMP):
                    temporaries += 1
                    if after_rerun:
                        part.fail("%s: temporary left after a re-run: %s" % (when, path))
                    continue
                part.checked += 1
                copies.setdefault(name, []).append(path)
                if name not in sources:
                    part.fail("%s: unknown file %s" % (when, path))
                elif not same(path, os.path.join(ref, sources[name])):
                    part.fail("%s: %s differs from its source" % (when, path))
    for path in temporaries_below(card):
        part.fail("%s: temporary on the card: %s" % (when, path))
    for name, rel in sources.items():
        part.checked += 1
        on_card = os.path.join(card, rel)
        if os.path.exists(on_card):
            if not same(on_card, os.path.join(ref, rel)):
                part.fail("%s: card file %s changed" % (when, rel))
            continue
        if name in removed:
            continue
        if not any(same(copy, os.path.join(ref, rel)) for copy in copies.get(name, [])):
            part.fail("%s: card file %s gone without an identical copy" % (when, rel))
    return temporaries


# ---------------------------------------------------------------------------------------------
def part_import():
    part = Part("import --remove under kills")
    # How long one whole run takes, so that kills fall anywhere in it.
    fresh()
    started = time.monotonic()
    first = subprocess.run(command(), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    full = time.monotonic() - started
    if first.returncode != 0:
        part.fail("whole run: exit status %d: %s" % (first.returncode, first.stderr[-500:]))
    check_import(part, "whole run", set(), True)
    print("one whole import: %.1f s" % full, flush=True)

    round_no = -1
    while part.counts.get("kills", 0) < kills_wanted and round_no < 3 * kills_wanted:
        round_no += 1
        fresh()
        removed = set()
        fault = round_no % 5  # 1: a destination turns read-only, 3: card files are removed
        named = round_no % 2 == 1
        run = run_started(command(named))
        kill_at = rng.uniform(0.0, full)
        fault_at = rng.uniform(0.0, kill_at)
        if fault in (1, 3):
            time.sleep(fault_at)
            if fault == 1:
                os.chmod(os.path.join(dest, "jpg"), 0o555)
                part.add("read-only")
            else:
                names = [n for n, rel in sources.items() if os.path.exists(os.path.join(card, rel))]
                for name in rng.sample(names, min(20, len(names))):
                    try:
                        os.unlink(os.path.join(card, sources[name]))
                        removed.add(name)
                    except FileNotFoundError:
                        pass  # the run took it after its copy
                part.add("removals")
        sig = rng.choice(SIGNALS)
        if signal_at(run, kill_at - (fault_at if fault in (1, 3) else 0.0), sig):
            part.add("kills")
        _, err = run.communicate()
        when = "round %d (%s after %.2f s)" % (round_no + 1, signal.Signals(sig).name, kill_at)
        status_ok_after(part, when, run, err)
        part.add("temporaries after kill", check_import(part, when, removed, False))

        os.chmod(os.path.join(dest, "jpg"), 0o755)
        rerun = subprocess.run(command(named), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                               timeout=max(60, 10 * full))
        part.add("re-runs")
        if rerun.returncode != 0:
            part.fail("%s re-run: exit status %d: %s" % (when, rerun.returncode,
                                                         rerun.stderr[-500:]))
        check_import(part, when + " re-run", removed, True)
    c = part.counts.get
    return part.report(
        "kills: %d (%d before the signal handlers), read-only destinations: %d, card removals: %d, "
        "re-runs: %d, temporaries left by kills (for the re-runs to remove): %d"
        % (c("kills", 0), c("early signals", 0), c("read-only", 0), c("removals", 0),
           c("re-runs", 0), c("temporaries after kill", 0)))


# ---------------------------------------------------------------------------------------------
class SmallFileSystem:
    """A file system of a few MB mounted at a folder: tmpfs, else an ext4 image on a loop device."""

    def __init__(self, where):
        self.where, self.image, self.kind = where, None, None

    def mount(self, mb):
        os.makedirs(self.where, exist_ok=True)
        order = ["tmpfs", "ext4"]
        if os.environ.get("PELKO_FAULTS_FS") == "ext4":
            order.reverse()
        for kind in order:
            if kind == "tmpfs" and subprocess.run(
                    ["mount", "-t", "tmpfs", "-o", "size=%dk" % (mb * 1024), "tmpfs", self.where],
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
                self.kind = kind
                return True
            if kind == "ext4" and shutil.which("mkfs.ext4"):
                self.image = self.where + ".img"
                with open(self.image, "wb") as f:
                    f.truncate(mb * 1024 * 1024)
                quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                if subprocess.run(["mkfs.ext4", "-q", "-F", "-m", "0", self.image],
                                  **quiet).returncode == 0 and subprocess.run(
                                      ["mount", "-o", "loop", self.image, self.where],
                                      **quiet).returncode == 0:
                    shutil.rmtree(os.path.join(self.where, "lost+found"), ignore_errors=True)
                    self.kind = kind
                    return True
                os.unlink(self.image)
                self.image = None
        return False

    def grow(self, mb):
        """Room for the rest: tmpfs remounted bigger, an ext4 image enlarged."""
        if self.kind == "tmpfs":
            return subprocess.run(["mount", "-o", "remount,size=%dk" % (mb * 1024), self.where]
                                  ).returncode == 0
        if not self.unmount():
            return False
        with open(self.image, "r+b") as f:
            f.truncate(mb * 1024 * 1024)
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["e2fsck", "-f", "-y", self.image], **quiet)
        return subprocess.run(["resize2fs", self.image], **quiet).returncode == 0 and \
            subprocess.run(["mount", "-o", "loop", self.image, self.where], **quiet).returncode == 0

    def unmount(self):
        # A mount still there (busy) would be checked and mounted twice over its own image.
        for _ in range(50):
            if subprocess.run(["umount", self.where], stderr=subprocess.DEVNULL).returncode == 0:
                return True
            time.sleep(0.1)
        print("cannot unmount %s" % self.where, flush=True)
        return False


def part_full():
    part = Part("full destination")
    if os.geteuid() != 0:
        print("full destination: skipped (mounting a small file system needs root)")
        return 0
    card_mb = card_bytes // (1024 * 1024)
    # (file system size, how much is filled beforehand, which destination is on it, named
    # temporaries): the card is about 48 MB.
    cases = [(card_mb // 3, 0, "all", False), (card_mb, card_mb - 8, "all", True),
             (card_mb // 2, card_mb // 2 - 1, "all", False), (24, 12, "all", True),
             (card_mb // 4, 0, "raw", False), (card_mb // 4, 4, "raw", True)]
    for n, (mb, filled, which, named) in enumerate(cases):
        when = "case %d (%d MB, %d MB filled, %s, %s temporaries)" % (
            n + 1, mb, filled, which, "named" if named else "unnamed")
        fresh(make_dest=False)
        mount_at = dest if which == "all" else os.path.join(dest, "raw")
        os.makedirs(mount_at, exist_ok=True)
        fs = SmallFileSystem(mount_at)
        if not fs.mount(mb):
            print("full destination: skipped (neither tmpfs nor an ext4 image on a loop device "
                  "can be mounted here)")
            return 0
        try:
            for sub in kinds.values():
                os.makedirs(os.path.join(dest, sub), exist_ok=True)
            if filled:
                # Below the destination's own folder, as other pictures of the disk would be.
                # As much as fits: an ext4 journal takes its share of a small image.
                with open(os.path.join(mount_at, FILLER), "wb") as f:
                    try:
                        for _ in range(filled):
                            f.write(b"\0" * (1024 * 1024))
                            f.flush()
                    except OSError:
                        pass
            run = subprocess.run(command(named, ["--json"]), stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, timeout=600)
            part.add("runs")
            if run.returncode != 1:
                part.fail("%s: exit status %d, not 1" % (when, run.returncode))
            rows = {}
            for line in run.stdout.decode("utf-8", "replace").splitlines():
                row = json.loads(line)
                if "source" in row:
                    rows[os.path.basename(row["source"])] = row
            failed = 0
            for name, rel in sources.items():
                if name.endswith(".THM") or not os.path.exists(os.path.join(card, rel)):
                    continue
                # A file left on the card has its row, and the row says the copy failed.
                failed += 1
                row = rows.get(name)
                if row is None or row.get("copy") != "failed" or row.get("delete") == "deleted":
                    part.fail("%s: %s left on the card with the row %s" % (when, name, row))
            if failed == 0:
                part.fail("%s: everything fitted; the case fills nothing" % when)
            part.add("files failed", failed)
            temporaries = temporaries_below(mount_at)
            for path in temporaries:
                part.fail("%s: temporary left by a failed copy: %s" % (when, path))
            check_import(part, when, set(), True)

            # Room made, as a user would: the filler deleted and the file system bigger.
            if filled:
                os.unlink(os.path.join(mount_at, FILLER))
            if not fs.grow(card_mb * 3):
                part.fail("%s: could not make room" % when)
            rerun = subprocess.run(command(named), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, timeout=600)
            part.add("re-runs")
            if rerun.returncode != 0:
                part.fail("%s re-run: exit status %d: %s" % (when, rerun.returncode,
                                                             rerun.stderr[-500:]))
            check_import(part, when + " re-run", set(), True)
            left = [rel for name, rel in sources.items()
                    if not name.endswith(".THM") and os.path.exists(os.path.join(card, rel))]
            if left:
                part.fail("%s re-run: %d files still on the card, e.g. %s"
                          % (when, len(left), left[0]))
        finally:
            fs.unmount()
    c = part.counts.get
    return part.report("file system: %s, runs: %d (files failed for want of room: %d), re-runs: %d"
                       % (fs.kind, c("runs", 0), c("files failed", 0), c("re-runs", 0)))


# ---------------------------------------------------------------------------------------------
def part_sidecar(kills):
    part = Part("sidecar moves under kills")
    tree_ref = os.path.join(work, "sidecar-ref")
    tree = os.path.join(work, "sidecars")
    moves = {}      # original path -> destination path (relative to the tree)
    blocked = {}    # original path -> destination path, where a different file stands
    orphans = set()  # original paths of sidecars without a picture
    kept = set()    # files nobody may touch: pictures, sidecars beside them, files in the way

    def put(rel, size):
        path = os.path.join(tree_ref, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(rng.randbytes(size))

    # 320 pictures in eight folders; their sidecars were left in the old folders.
    for n in range(1, 321):
        folder = "pictures/2024-%02d" % (n % 8 + 1)
        picture = "%s/IMGP%04d.PEF" % (folder, n)
        put(picture, rng.randint(1, 4096))
        kept.add(picture)
        old = "old/%02d" % (n % 5)
        choice = rng.random()
        if choice < 0.30:
            name, sub = "IMGP%04d.PEF.spd" % n, "SILKYPIX_DS"
        elif choice < 0.45:
            name, sub = "IMGP%04d.PEF.4.spi" % n, "SILKYPIX_DS"
        elif choice < 0.70:
            name, sub = "IMGP%04d.xmp" % n, ""
        elif choice < 0.80:
            # Already beside its picture.
            beside = "%s/SILKYPIX_DS/IMGP%04d.PEF.spd" % (folder, n)
            put(beside, rng.randint(1, 64 * 1024))
            kept.add(beside)
            continue
        else:
            continue
        original = os.path.join(old, sub, name) if sub else os.path.join(old, name)
        target = os.path.join(folder, sub, name) if sub else os.path.join(folder, name)
        put(original, rng.randint(1, 64 * 1024))
        if rng.random() < 0.06:
            put(target, rng.randint(1, 64 * 1024))
            blocked[original] = target
            kept.add(target)
        else:
            moves[original] = target
    for n in range(1, 121):
        old = "old/%02d" % (n % 5)
        name = ("DSC%05d.PEF.spd" % n, "DSC%05d.xmp" % n)[n % 2]
        original = os.path.join(old, "SILKYPIX_DS", name) if n % 2 == 0 else os.path.join(old, name)
        put(original, rng.randint(1, 16 * 1024))
        orphans.add(original)
    originals = files_below(tree_ref)

    def sidecar_cmd(execute=True):
        return [cli, "sidecar", "--sidecars", tree, "--pictures", tree, "--json"] + \
            (["--execute"] if execute else [])

    def reset():
        make_writable_and_remove(tree)
        shutil.copytree(tree_ref, tree)

    def check(when, final):
        now = files_below(tree)
        known = set()
        for original, target in moves.items():
            known.update((original, target))
            part.checked += 1
            at_original, at_target = now.get(original), now.get(target)
            if at_original is not None and at_original != originals[original]:
                part.fail("%s: %s changed" % (when, original))
            if at_target is not None and at_target != originals[original]:
                part.fail("%s: %s differs from the sidecar it was moved from" % (when, target))
            if at_original is None and at_target is None:
                part.fail("%s: sidecar %s lost" % (when, original))
            if final and at_original is not None:
                part.fail("%s: %s not moved" % (when, original))
        for original, target in blocked.items():
            known.update((original, target))
            part.checked += 2
            if now.get(original) != originals[original]:
                part.fail("%s: %s, whose way was blocked, changed or went" % (when, original))
            if now.get(target) != originals[target]:
                part.fail("%s: the different file %s was replaced" % (when, target))
        for original in orphans:
            known.add(original)
            part.checked += 1
            if original in now and now[original] != originals[original]:
                part.fail("%s: orphan %s changed" % (when, original))
            if final and original in now:
                part.fail("%s: orphan %s not deleted" % (when, original))
        for rel in kept:
            known.add(rel)
            part.checked += 1
            if now.get(rel) != originals[rel]:
                part.fail("%s: %s changed or went" % (when, rel))
        for rel in now:
            if rel in known:
                continue
            if os.path.basename(rel).startswith(TMP):
                part.add("temporaries after kill")
                if final:
                    part.fail("%s: temporary left: %s" % (when, rel))
            else:
                part.fail("%s: unexpected file %s" % (when, rel))

    def rerun_and_check(when):
        rerun = subprocess.run(sidecar_cmd(), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               timeout=300)
        part.add("re-runs")
        # The blocked moves fail every time; nothing else may.
        failed = set()
        for line in rerun.stdout.decode("utf-8", "replace").splitlines():
            row = json.loads(line)
            if row.get("outcome") in ("move_failed", "delete_failed"):
                failed.add(os.path.relpath(row["sidecar"], tree))
        if failed != set(blocked) or rerun.returncode != (1 if blocked else 0):
            part.fail("%s re-run: exit status %d, failed rows %s, expected those of %s"
                      % (when, rerun.returncode, sorted(failed)[:5], sorted(blocked)[:5]))
        check(when + " re-run", True)
        listed = subprocess.run(sidecar_cmd(False), stdout=subprocess.PIPE, timeout=300)
        left = set()
        for line in listed.stdout.decode("utf-8", "replace").splitlines():
            row = json.loads(line)
            if "sidecar" in row:
                left.add(os.path.relpath(row["sidecar"], tree))
        if left != set(blocked):
            part.fail("%s re-run: still listed: %s" % (when, sorted(left - set(blocked))[:5]))

    reset()
    started = time.monotonic()
    whole = subprocess.run(sidecar_cmd(), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    full = time.monotonic() - started
    if whole.returncode != (1 if blocked else 0):
        part.fail("whole run: exit status %d: %s" % (whole.returncode, whole.stderr[-500:]))
    check("whole run", True)
    print("one whole sidecar run: %.1f s (%d moves, %d blocked, %d orphans)"
          % (full, len(moves), len(blocked), len(orphans)), flush=True)

    round_no = 0
    while part.counts.get("kills", 0) < kills and round_no < 3 * kills:
        round_no += 1
        reset()
        run = run_started(sidecar_cmd())
        sig = rng.choice(SIGNALS)
        kill_at = rng.uniform(0.0, full)
        if signal_at(run, kill_at, sig):
            part.add("kills")
        _, err = run.communicate()
        when = "round %d (%s after %.2f s)" % (round_no, signal.Signals(sig).name, kill_at)
        status_ok_after(part, when, run, err)
        check(when, False)
        rerun_and_check(when)
    c = part.counts.get
    return part.report("kills: %d (%d before the signal handlers), re-runs: %d, "
                       "temporaries left by kills: %d"
                       % (c("kills", 0), c("early signals", 0), c("re-runs", 0),
                          c("temporaries after kill", 0)))


# ---------------------------------------------------------------------------------------------
# The settings and statistics files are compared without the minute stamps a run writes.
STAMP = re.compile(rb"^((?:First|Last)Date=)[^\r\n]*", re.M)


def text_files(folder):
    """The ini and text files below folder (relative path -> bytes, stamps blanked)."""
    return {rel: STAMP.sub(rb"\1", data) for rel, data in files_below(folder).items()
            if rel.endswith((".ini", ".txt")) and not os.path.basename(rel).startswith(TMP)}


INI_LINE = re.compile(r"^(\[[^\]]*\]|[^=\[;][^=]*=.*|;.*|)$")


def sections_of(data):
    """An ini file's lines by section header (None: the lines before the first)."""
    found, name = {}, None
    for line in data.split(b"\r\n"):
        if line.startswith(b"["):
            name = line
        if line:
            found.setdefault(name, []).append(line)
    return found


def old_or_new(rel, data, old, new):
    """True when data holds old or new bytes. A run saves CardInfo.ini twice, each time whole:
    the camera tallies, then the card's counts; between the two each section is old or new."""
    if data in (old, new):
        return True
    if os.path.basename(rel) != "CardInfo.ini" or old is None or new is None:
        return False
    before, after = sections_of(old), sections_of(new)
    return all(lines in (before.get(name), after.get(name))
               for name, lines in sections_of(data).items())


def ini_problem(rel, data):
    """Why an ini file's bytes are not a whole file with agreeing values; None when they are."""
    if data and not data.endswith(b"\r\n"):
        return "does not end with a line break"
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        return "not UTF-8"
    sections, section = {}, None
    for line in text.split("\r\n")[:-1]:
        if not INI_LINE.match(line):
            return "line %r" % line
        if line.startswith("["):
            section = sections.setdefault(line[1:-1], {})
        elif "=" in line and section is not None:
            key, value = line.split("=", 1)
            section[key] = value
    if os.path.basename(rel) == "CardInfo.ini":
        # A camera's tally: the average and the files per card follow from count and size.
        for name in ("K5", "K-01"):
            tally = sections.get(name, {})
            if "Count" not in tally:
                continue
            count, kb = int(tally["Count"]), int(tally["Size"])
            average = kb / count
            if tally.get("Ave") != "%.1fMB" % (int(average / 1024 * 10 + 0.5) / 10):
                return "[%s] Ave=%s for Count=%d Size=%d" % (name, tally.get("Ave"), count, kb)
            for key, size in (("4G", 4e9), ("8G", 8e9), ("16G", 16e9), ("32G", 32e9)):
                if tally.get(key) != str(int(size / average / 1024) if average > 0 else 0):
                    return "[%s] %s=%s for Count=%d Size=%d" % (name, key, tally.get(key), count,
                                                                 kb)
    return None


def database_problem(path):
    """Why PelkoData.db is not whole or its rows do not add up; None when all is well."""
    try:
        db = sqlite3.connect("file:%s?mode=rw" % path, uri=True, timeout=10)
        try:
            result = db.execute("PRAGMA integrity_check").fetchall()
            if result != [("ok",)]:
                return "integrity check: %s" % result[:3]
            rows = db.execute(
                'SELECT "日付", "合計", "K5QT", "K5RV", "K01" FROM "撮影枚数"').fetchall()
        finally:
            db.close()
    except sqlite3.Error as error:
        return "cannot be read: %s" % error
    for day, total, *counts in rows:
        if total != sum(counts):
            return "the day %s counts %d in all but %s by camera" % (day, total, counts)
    return None


def shots_in(path):
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    try:
        return db.execute('SELECT COALESCE(SUM("合計"), 0) FROM "撮影枚数"').fetchone()[0]
    finally:
        db.close()


def part_stats(kills):
    part = Part("statistics under kills")
    home = os.path.join(work, "home")          # the application folder
    runtime = os.path.join(work, "runtime")    # the working ImgCount.txt
    saved = os.path.join(work, "home-before")
    saved_runtime = os.path.join(work, "runtime-before")
    env = dict(os.environ, PELKOCOPY_HOME=home, XDG_RUNTIME_DIR=runtime)
    db = os.path.join(home, "PelkoData.db")

    def stats_cmd():
        return command(False, ["--mode"])

    def restore():
        for made, source in ((home, saved), (runtime, saved_runtime)):
            make_writable_and_remove(made)
            shutil.copytree(source, made)
        fresh()
        with open(os.path.join(card, "CardInfo.ini"), "wb") as f:
            f.write(b"[INFO]\r\nCARD-ID=CARD-A\r\n")

    # The state before: a card known by name, earlier counts, and a database of an earlier run.
    os.makedirs(saved)
    os.makedirs(saved_runtime, mode=0o700)
    with open(os.path.join(saved, "CardInfo.ini"), "wb") as f:
        f.write(b"[CARD-A]\r\nNAME=Test\r\nCLAS=10\r\nSIZE=16\r\nFwMB=100\r\nFwCn=20\r\n")
    with open(os.path.join(saved, "PelkoCopy.ini"), "wb") as f:
        f.write(b"[PelkoCopy]\r\nK5QT Count=12\r\nK5RV Count=34\r\nK-01 Count=56\r\n")
    for folder, source in ((home, saved), (runtime, saved_runtime)):
        shutil.copytree(source, folder)
    fresh()
    with open(os.path.join(card, "CardInfo.ini"), "wb") as f:
        f.write(b"[INFO]\r\nCARD-ID=CARD-A\r\n")
    first = subprocess.run(stats_cmd(), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    if first.returncode != 0 or not os.path.exists(db):
        part.fail("first run: exit status %d: %s" % (first.returncode, first.stderr[-500:]))
        return part.report("not run")
    for made, source in ((saved, home), (saved_runtime, runtime)):
        make_writable_and_remove(made)
        shutil.copytree(source, made)

    # The files as a whole run from that state leaves them.
    restore()
    old = {"home": text_files(home), "runtime": text_files(runtime)}
    shots_before = shots_in(db)
    started = time.monotonic()
    whole = subprocess.run(stats_cmd(), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    full = time.monotonic() - started
    if whole.returncode != 0:
        part.fail("whole run: exit status %d: %s" % (whole.returncode, whole.stderr[-500:]))
    new = {"home": text_files(home), "runtime": text_files(runtime)}
    shots_after = shots_in(db)
    if shots_after <= shots_before:
        part.fail("whole run counted no shots (%d before, %d after)" % (shots_before, shots_after))
    print("one whole import --mode: %.1f s (%d ini and text files, %d shots counted)"
          % (full, len(new["home"]) + len(new["runtime"]), shots_after - shots_before), flush=True)

    def check(when, exact):
        for place, folder in (("home", home), ("runtime", runtime)):
            for rel, data in text_files(folder).items():
                part.checked += 1
                if exact and not old_or_new(rel, data, old[place].get(rel), new[place].get(rel)):
                    part.fail("%s: %s/%s is neither its old nor its new bytes" % (when, place, rel))
                if rel.endswith(".ini") and ini_problem(rel, data):
                    part.fail("%s: %s/%s %s" % (when, place, rel, ini_problem(rel, data)))
            for rel in set(old[place]) & set(new[place]):
                if not os.path.exists(os.path.join(folder, rel)):
                    part.fail("%s: %s/%s went" % (when, place, rel))
        for path in unreadable_below(home) + unreadable_below(runtime):
            part.fail("%s: %s lost its owner's read and write permission" % (when, path))
        part.checked += 1
        problem = database_problem(db)
        if problem:
            part.fail("%s: PelkoData.db %s" % (when, problem))
        stats = subprocess.run([cli, "stats"], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                               env=env)
        if stats.returncode != 0:
            part.fail("%s: stats exit status %d: %s"
                      % (when, stats.returncode, stats.stderr[-300:]))

    round_no = 0
    while part.counts.get("kills", 0) < kills and round_no < 3 * kills:
        round_no += 1
        restore()
        run = run_started(stats_cmd(), env=env)
        sig = rng.choice(SIGNALS)
        if round_no % 2:
            kill_at = rng.uniform(0.0, full * 1.1)
            sent = signal_at(run, kill_at, sig)
            when = "round %d (%s after %.2f s)" % (round_no, signal.Signals(sig).name, kill_at)
        else:
            # Every other kill lands where the files are saved: after the last rows, the status
            # and speed lines (1,002 lines in all), within a few milliseconds.
            lines_wanted = rng.randint(len(sources) - 10, len(sources) + 2)
            lines = 0
            while lines < lines_wanted and run.stdout.readline():
                lines += 1
            delay = rng.uniform(0.0, 0.03)
            sent = signal_at(run, delay, sig)
            when = "round %d (%s %.3f s after line %d)" % (round_no, signal.Signals(sig).name,
                                                          delay, lines)
        if sent:
            part.add("kills")
        _, err = run.communicate()
        status_ok_after(part, when, run, err)
        # A stop asked for by SIGTERM or SIGINT saves what the run counted: new values, which a
        # whole run does not write.
        check(when, run.returncode in (-signal.SIGKILL, 0))
        if run.returncode == -signal.SIGKILL:
            # How many kills fell between the first file saved and the last.
            states = [text_files(folder).get(rel) == new[place][rel]
                      for place, folder in (("home", home), ("runtime", runtime))
                      for rel in new[place] if new[place][rel] != old[place].get(rel)]
            if any(states) and not all(states):
                part.add("kills while saving")
        part.add("temporaries after kill",
                 len(temporaries_below(home)) + len(temporaries_below(runtime)))
        shots = shots_in(db)
        if not shots_before <= shots <= shots_after:
            part.fail("%s: %d shots counted, not between %d and %d"
                      % (when, shots, shots_before, shots_after))

        rerun = subprocess.run(stats_cmd(), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                               env=env, timeout=max(60, 10 * full))
        part.add("re-runs")
        if rerun.returncode != 0:
            part.fail("%s re-run: exit status %d: %s" % (when, rerun.returncode,
                                                         rerun.stderr[-500:]))
        check(when + " re-run", False)
        for path in temporaries_below(home) + temporaries_below(runtime):
            part.fail("%s re-run: temporary left: %s" % (when, path))
    c = part.counts.get
    return part.report("kills: %d (%d before the signal handlers, %d while saving), re-runs: %d, "
                       "temporaries left by kills: %d"
                       % (c("kills", 0), c("early signals", 0), c("kills while saving", 0),
                          c("re-runs", 0), c("temporaries after kill", 0)))


# ---------------------------------------------------------------------------------------------
def part_window(kills):
    part = Part("window close under kills")
    if not os.access(app, os.X_OK):
        print("window close under kills: skipped (no %s)" % app)
        return 0
    home = os.path.join(work, "window-home")
    saved = os.path.join(work, "window-home-before")
    runtime = os.path.join(work, "window-runtime")
    os.makedirs(runtime, mode=0o700)
    env = dict(os.environ, PELKOCOPY_HOME=home, XDG_RUNTIME_DIR=runtime, TMPDIR=runtime,
               QT_QPA_PLATFORM="offscreen", TZ="Asia/Tokyo", LANG="C.UTF-8")

    def start():
        return subprocess.Popen([app], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                env=env)

    def closed(run, after, timeout=15):
        """Sends SIGTERM after `after` seconds and waits for the end; the seconds the close took."""
        time.sleep(after)
        asked = time.monotonic()
        run.send_signal(signal.SIGTERM)
        try:
            run.wait(timeout)
        except subprocess.TimeoutExpired:
            run.kill()
            run.wait()
            return None
        return time.monotonic() - asked

    def restore():
        make_writable_and_remove(home)
        shutil.copytree(saved, home)

    # The first start makes the folder and its files; the close saves the window's settings.
    os.makedirs(home)
    run = start()
    took = closed(run, 3.0)
    if took is None or run.returncode != 0:
        part.fail("SIGTERM does not close the window (exit status %s): a logout loses the settings"
                  % run.returncode)
        return part.report("not run")
    settings = [rel for rel in files_below(home) if rel.endswith(".ini")]
    if not settings:
        part.fail("a close on SIGTERM saved no settings file")
        return part.report("not run")
    # The statistics mode on, so that a close also writes the shared settings and the database.
    for rel in settings:
        path = os.path.join(home, rel)
        data = read(path)
        if data.startswith(b"[FrmDCMain]\r\n"):
            with open(path, "wb") as f:
                f.write(data.replace(b"[FrmDCMain]\r\n", b"[FrmDCMain]\r\nMode=1\r\n", 1))
    with open(os.path.join(home, "Memo.txt"), "wb") as f:
        f.write("撮影メモ\r\n".encode())
    run = start()
    if closed(run, 3.0) is None or run.returncode != 0:
        part.fail("a close on SIGTERM did not end the window (exit status %s)" % run.returncode)
        return part.report("not run")
    # Settings that the next close changes: the layout keys gone, as after an older version.
    for rel in [rel for rel in files_below(home) if rel.endswith(".ini")]:
        path = os.path.join(home, rel)
        lines = read(path).split(b"\r\n")
        kept = [line for line in lines if not re.match(
            rb"^(FormTop|FormLeft|FormWidth|FormHeight|pnlLeft|GridW\d|[^=]*_(Top|Left|Height))=",
            line)]
        with open(path, "wb") as f:
            f.write(b"\r\n".join(kept))
    shutil.copytree(home, saved)
    old = files_below(saved)

    # The files as whole closes leave them; how long a start and a close take.
    news, ready, close_time = [], 3.0, float("inf")
    for _ in range(2):
        restore()
        run = start()
        took = closed(run, ready)
        if took is None or run.returncode != 0:
            part.fail("a close on SIGTERM did not end the window (exit status %s)" % run.returncode)
            return part.report("not run")
        close_time = min(close_time, took)
        news.append(files_below(home))
    changed = sorted(rel for rel in news[0]
                     if rel.endswith((".ini", ".txt")) and news[0][rel] != old.get(rel))
    if not changed:
        part.fail("the close changed no file: nothing to kill")
    print("whole window close: %.2f s, files it changes: %s" % (close_time, ", ".join(changed)),
          flush=True)

    def check(when, exact):
        now = files_below(home)
        for rel, data in now.items():
            if os.path.basename(rel).startswith(TMP):
                part.add("temporaries after kill")
                if not exact:
                    part.fail("%s: temporary left: %s" % (when, rel))
                continue
            if not rel.endswith((".ini", ".txt")):
                continue  # the database, checked below
            part.checked += 1
            if exact and data != old.get(rel) and all(data != n.get(rel) for n in news):
                part.fail("%s: %s is neither its old nor its new bytes" % (when, rel))
            if rel.endswith(".ini") and ini_problem(rel, data):
                part.fail("%s: %s %s" % (when, rel, ini_problem(rel, data)))
        for rel in old:
            if rel not in now and rel.endswith((".ini", ".txt")):
                part.fail("%s: %s went" % (when, rel))
        for path in unreadable_below(home):
            part.fail("%s: %s lost its owner's read and write permission" % (when, path))
        database = os.path.join(home, "PelkoData.db")
        if os.path.exists(database):
            part.checked += 1
            problem = database_problem(database)
            if problem:
                part.fail("%s: PelkoData.db %s" % (when, problem))

    round_no = 0
    while part.counts.get("kills", 0) < kills and round_no < 5 * kills:
        round_no += 1
        restore()
        run = start()
        # Most kills land in the close; some before the window shows, which must save nothing.
        term_at = rng.uniform(0.5, 1.0) * ready if round_no % 5 == 0 else ready
        time.sleep(term_at)
        run.send_signal(signal.SIGTERM)
        kill_after = rng.uniform(0.0, close_time * 1.2)
        time.sleep(kill_after)
        if run.poll() is None:
            run.kill()
            part.add("kills")
        run.wait()
        when = "round %d (SIGKILL %.3f s after SIGTERM)" % (round_no, kill_after)
        check(when, True)
        # The next start sweeps what the kill left; its close saves again.
        rerun = start()
        took = closed(rerun, ready)
        part.add("re-runs")
        if took is None or rerun.returncode != 0:
            part.fail("%s re-run: exit status %s" % (when, rerun.returncode))
        check(when + " re-run", False)
    c = part.counts.get
    return part.report("kills: %d, re-runs: %d, temporaries left by kills (for the next start): %d"
                       % (c("kills", 0), c("re-runs", 0), c("temporaries after kill", 0)))


failed = 0
kills_of = {"import": kills_wanted, "sidecar": kills_wanted * 3 // 5,
            "stats": kills_wanted * 2 // 5, "window": kills_wanted * 2 // 5}
for name, run_part in (("import", part_import), ("full", part_full), ("sidecar", part_sidecar),
                       ("stats", part_stats), ("window", part_window)):
    if name not in parts:
        continue
    if name in ("sidecar", "stats", "window"):
        failed += run_part(max(1, kills_of[name]))
    else:
        failed += run_part()
sys.exit(1 if failed else 0)
EOF
