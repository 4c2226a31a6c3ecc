"""Comparing a recording of the sound card (raw 16-bit mono at 22,050 Hz) with
the images that were played: where the sounds are, and how closely each
stretch of a sound follows the image. The player may stall for a moment (an
underrun inserts silence and delays the rest), so the image is followed block
by block, each block aligned where the previous one was found.

This is a smoke test of the whole path to the sound card: what the program
hands the player is judged exactly where it hands it over (test_player). Here
Wine's player under load may drop a few milliseconds inside a block and cut
a sound's tail, within the bounds below; a silent recording, another image,
or an image cut by more than the tail bound still fail."""
import array
import math
import operator
import wave

RATE = 22050
WINDOW = 220          # 10 ms
ACTIVE = 300          # RMS of a window that carries sound
FIRST_BLOCK = 0.7     # correlation the first block of a sound needs (see order_problems)
# Correlation every later block needs: a dropout of a few milliseconds inside
# a block of 1,000 samples (Wine's player under load) leaves 0.83-0.90;
# another image gives next to none.
BLOCK = 0.75
# Samples a sound may lose at its very end (150 ms). Wine's player counts a
# buffer done once it is handed to PulseAudio and then flushes the stream, so
# what PulseAudio still holds is never played: its stream target (25-30 ms),
# the sink's latency (20 ms, set by the recorder) and one 10 ms period of the
# player, more when the machine is loaded. Measured with a compression and a
# build beside it: up to 2,550 samples.
END_SHORTFALL = 3308


def read_raw(path):
    rec = array.array("h")
    with open(path, "rb") as f:
        rec.frombytes(f.read())
    return rec


def samples_of(path):
    with wave.open(path, "rb") as w:
        assert w.getframerate() == RATE and w.getnchannels() == 1 and w.getsampwidth() == 2
        return array.array("h", w.readframes(w.getnframes()))


def rms(xs):
    return math.sqrt(sum(map(operator.mul, xs, xs)) / len(xs)) if len(xs) else 0.0


def segments(rec, gap_windows=15):
    """(start, end) sample ranges of the sounds: runs of active windows,
    bridged across quiet stretches shorter than `gap_windows`."""
    active = [rms(rec[i:i + WINDOW]) > ACTIVE for i in range(0, len(rec) - WINDOW, WINDOW)]
    segs, start, gap, end = [], None, 0, 0
    for n, a in enumerate(active):
        if a:
            if start is None:
                start = n
            gap = 0
            end = n + 1
        elif start is not None:
            gap += 1
            if gap > gap_windows:
                segs.append((start * WINDOW, end * WINDOW))
                start = None
    if start is not None:
        segs.append((start * WINDOW, end * WINDOW))
    return segs


def sounding_windows(xs, start=0, end=None):
    """RMS of the windows from start to end that carry sound. The quiet
    windows a stalled player leaves inside a sound are passed over, so
    durations and loudness shapes count only what was played."""
    end = len(xs) if end is None else end
    levels = (rms(xs[i:i + WINDOW]) for i in range(start, end - WINDOW + 1, WINDOW))
    return [r for r in levels if r > ACTIVE]


def sounding_rms(xs, piece=100):
    """RMS over the pieces of xs that carry sound (a stall's silence left out)."""
    pieces = [xs[i:i + piece] for i in range(0, len(xs) - piece + 1, piece)]
    loud = [p for p in pieces if rms(p) > ACTIVE / 3]
    return math.sqrt(sum(rms(p) ** 2 for p in loud) / len(loud)) if loud else 0.0


def shape_correlation(got, want):
    """Pearson correlation of two loudness sequences over their common length."""
    n = min(len(got), len(want))
    if n < 2:
        return 0.0
    got, want = got[:n], want[:n]
    mg, mw = sum(got) / n, sum(want) / n
    num = sum((g - mg) * (w - mw) for g, w in zip(got, want))
    den = math.sqrt(sum((g - mg) ** 2 for g in got) * sum((w - mw) ** 2 for w in want))
    return num / den if den else 0.0


def onset(xs, level=500):
    for i, x in enumerate(xs):
        if abs(x) > level:
            return i
    return 0


def correlation_at(rec, s, ref, ref_energy):
    if s < 0 or s + len(ref) > len(rec) or ref_energy == 0:
        return 0.0
    part = rec[s:s + len(ref)]
    energy = math.sqrt(sum(map(operator.mul, part, part)))
    if energy == 0:
        return 0.0
    return sum(map(operator.mul, part, ref)) / (energy * ref_energy)


def best_near(rec, at, ref, search, ahead=None):
    """Best correlation of ref with the recording from at - search to
    at + ahead (at + search when not given), and where it lies. A periodic
    sound matches one period on just as well: of the positions within 0.005
    of the best, the one nearest `at` is taken, so the alignment does not
    wander."""
    ref_energy = math.sqrt(sum(map(operator.mul, ref, ref)))
    scores = [(correlation_at(rec, s, ref, ref_energy), s)
              for s in range(at - search, at + (search if ahead is None else ahead) + 1)]
    best = max((c for c, _ in scores), default=0.0)
    near = min((abs(s - at), s) for c, s in scores if c >= best - 0.005)[1] if scores else at
    return best, near


def sounding_floor(image, block=1000):
    """Blocks fainter than this beside the image's loudest (a fading tail)
    say little."""
    return max([ACTIVE] + [rms(image[b:b + block]) / 10 for b in range(0, len(image) - block + 1, block)])


def follow(rec, start, image, end=None, block=1000, search=120, reacquire=1500):
    """(correlation, position) of each block of the image that carries
    sound, following the image through the recording up to `end`: each block
    is searched within `search` samples of where the previous one ended, and
    up to `reacquire` samples later when it is not found there (a stalled
    player only delays what follows)."""
    end = len(rec) if end is None else end
    floor = sounding_floor(image, block)
    result = []
    at = start
    for b in range(0, len(image) - block + 1, block):
        if at >= end:
            break
        ref = image[b:b + block]
        if rms(ref) < floor:
            at += block
            continue
        c, s = best_near(rec, at, ref, search)
        if c < 0.9:
            c2, s2 = best_near(rec, at, ref, search, reacquire)
            if c2 > c:
                c, s = c2, s2
        result.append((c, s, b))
        at = s + block
    return result


def aligned_start(rec, seg, image):
    """Where the image's first sample lies in the recording, from the onsets."""
    a, b = seg
    lead = max(0, a - WINDOW)
    return lead + onset(rec[lead:b]) - onset(image)


def compare(rec, seg, image, limit=None):
    """How a sound follows its image: (block correlations, level ratio,
    loudness-shape correlation, samples of the image's sounding end that were
    not heard, problems with the order of the blocks). Level and shape compare
    each block with the recording where that block was found, so a player that
    stalls for a moment still matches."""
    found = follow(rec, aligned_start(rec, seg, image), image, seg[1] + 1000)
    blocks = [c for c, _, _ in found]
    got = [sounding_rms(rec[s:s + 1000]) for _, s, _ in found]
    want = [rms(image[b:b + 1000]) for _, _, b in found]
    level = sum(got) / max(1.0, sum(want))
    return (blocks, level, shape_correlation(got, want), shortfall(rec, found, image),
            order_problems(found), beyond(rec, found, image, limit=limit))


def beyond(rec, found, image, margin=100, span=1000, limit=None):
    """RMS of the recording just after the image's last sample, where it
    should be quiet: sound the image does not hold. Nothing from `limit` on
    counts (the next sound, which a loaded player may start early)."""
    good = [(s, b) for c, s, b in found if c >= 0.9]
    if not good:
        return 0.0
    s, b = good[-1]
    after = s - b + len(image) + margin
    end = after + span if limit is None else min(after + span, limit)
    return rms(rec[after:end]) if end > after else 0.0


def order_problems(found, block=1000, search=120):
    """Blocks up to the last one heard must each be found (a correlation of
    BLOCK, FIRST_BLOCK for the first), later than the one before. A block may
    miss only where the player stalled: the next block then lies later than
    one block on."""
    good = [n for n, (c, _, _) in enumerate(found) if c >= 0.9]
    problems = []
    for n in range(good[-1] if good else 0):
        c, s, b = found[n]
        if n + 1 < len(found) and found[n + 1][1] <= s:
            problems.append(f"block at {b} heard after the next one")
        stalled = n + 1 < len(found) and found[n + 1][1] - s > block + search
        # The player may clip the first milliseconds of a stream it opens
        # right after resetting another: the first block need only resemble.
        if c < (FIRST_BLOCK if n == 0 else BLOCK) and not stalled:
            problems.append(f"block at {b} not heard (correlation {c:.3f})")
    return problems


def shortfall(rec, found, image, piece=100):
    """Samples of the image's sounding end missing from the recording: from
    the last block heard, the recording is followed piece by piece until it
    no longer carries the image."""
    good = [(s, b) for c, s, b in found if c >= 0.9]
    end = len(image)
    if not good:
        return end
    s, b = good[-1]
    floor = sounding_floor(image)
    while end > b + piece and rms(image[end - piece:end]) < floor:
        end -= piece
    k = 1000
    while b + k < end:
        ref = image[b + k:min(end, b + k + piece)]
        part = rec[s + k:s + k + len(ref)]
        if len(part) < len(ref) or rms(part) < rms(ref) / 2 or \
                correlation_at(rec, s + k, ref, math.sqrt(sum(map(operator.mul, ref, ref)))) < 0.9:
            break
        k += len(ref)
    return max(0, end - (b + k))


def judge(rec, seg, image, name, problems, limit=None):
    """Compares a sound with its image, prints what was found and notes a
    sound that does not follow its image in order or is not as loud; returns
    the loudness-shape correlation, how many samples of the image's end
    were not heard and the RMS of the recording just after the image."""
    blocks, level, shape, short, order, extra = compare(rec, seg, image, limit)
    seconds = len(sounding_windows(rec, *seg)) * WINDOW / RATE
    shown = " ".join(f"{c:.3f}" for c in blocks)
    print(f"{name}: {seconds:.2f} s, correlation by block {shown}, level ratio {level:.2f}, "
          f"loudness shape {shape:.3f}, end short by {short} samples")
    if not any(c >= 0.9 for c in blocks) or order:
        problems.append(f"{name}: correlation by block {shown} with the played image")
        problems.extend(f"{name}: {p}" for p in order)
    if not 0.5 <= level <= 2.0:
        problems.append(f"{name}: level ratio {level:.2f}")
    return shape, short, extra
