#!/usr/bin/env python3
"""Compares a recording of a movie's sound with the sound the movie decodes to.

    sound_recording_check.py [--unplayed-end MS] REFERENCE.wav RECORDING.raw|RECORDING.wav LABEL

REFERENCE.wav is `vexa decode --wav-dir` output (16-bit PCM); RECORDING.raw is raw signed 16-bit
little-endian PCM of the same rate and channel count, as `parec --raw` writes it (or a 16-bit WAV
file of that format). The recording is
aligned to the reference by cross-correlation (on the first sound, then coarse on block sums, then
sample-exact), and then must match it with an SNR of at least 30 dB, hold sound for the reference's
length within 100 ms and have no gap (no 10 ms stretch far quieter than the reference there).
Prints one line of measurements and exits 1 when a check fails.

--unplayed-end MS is for a player that closes the movie after its last frame and so drops the sound
still queued: a recording that ends up to MS milliseconds early has the reference cut to its length
(the cut is printed); the rest of the recording must still match.
"""
import array
import math
import sys
import wave

MIN_SNR_DB, MAX_LENGTH_ERROR_MS, GAP_MS = 30.0, 100.0, 10


def mono(samples, channels):
    return [sum(samples[i:i + channels]) for i in range(0, len(samples), channels)]


def best_lag(ref, rec, lags, step=1, span=None):
    """The lag of rec against ref (in samples of the lists given) with the largest correlation."""
    span = span or len(ref)
    best, best_value = lags[0], -math.inf
    for lag in lags:
        if lag < 0 or lag + span > len(rec):
            continue
        value = sum(ref[i] * rec[lag + i] for i in range(0, span, step))
        if value > best_value:
            best, best_value = lag, value
    return best


def first_sound(x, level):
    return next((i for i, v in enumerate(x) if abs(v) > level), None)


def last_sound(x, level):
    return len(x) - 1 - next((i for i, v in enumerate(reversed(x)) if abs(v) > level), len(x))


def main(reference_path, recording_path, label, unplayed_end_ms=0.0):
    with wave.open(reference_path, "rb") as w:
        channels, rate = w.getnchannels(), w.getframerate()
        assert w.getsampwidth() == 2, "16-bit reference expected"
        ref_samples = array.array("h", w.readframes(w.getnframes()))
    if recording_path.endswith(".wav"):
        with wave.open(recording_path, "rb") as w:
            rec_samples = array.array("h", w.readframes(w.getnframes()))
    else:
        rec_samples = array.array("h", open(recording_path, "rb").read())
    if sys.byteorder == "big":
        ref_samples.byteswap(), rec_samples.byteswap()
    ref, rec = mono(ref_samples, channels), mono(rec_samples, channels)
    peak = max(abs(v) for v in ref)
    level = peak / 20
    onset_ref, onset_rec = first_sound(ref, level), first_sound(rec, level)
    if onset_rec is None:
        print(f"{label}: FAIL: the recording is silent ({len(rec) / rate:.2f} s recorded)")
        return 1
    unplayed = ""
    if unplayed_end_ms:
        played = last_sound(rec, level) - onset_rec
        cut_ms = (last_sound(ref, level) - onset_ref - played) * 1000.0 / rate
        if 0 < cut_ms <= unplayed_end_ms:
            ref_samples = ref_samples[:(onset_ref + played + 1) * channels]
            ref = ref[:onset_ref + played + 1]
        unplayed = f", {cut_ms:.0f} ms of the end not played"
    # Alignment: the first sound gives the lag within a few blocks; block sums of 16 samples
    # narrow it down within 0.1 s; the samples themselves, over the first second, fix it.
    guess = onset_rec - onset_ref
    block = 16
    ref_blocks = [sum(ref[i:i + block]) for i in range(0, len(ref) - block + 1, block)]
    rec_blocks = [sum(rec[i:i + block]) for i in range(0, len(rec) - block + 1, block)]
    reach = rate // 10 // block
    coarse = best_lag(ref_blocks, rec_blocks, range(guess // block - reach, guess // block + reach),
                      span=min(len(ref_blocks), 2 * rate // block))
    lag = best_lag(ref, rec, range(coarse * block - 2 * block, coarse * block + 2 * block),
                   span=min(len(ref), rate))
    # SNR over the reference's whole length, both channels, with the recording's gain fitted.
    n = min(len(ref), len(rec) - lag) * channels
    a, b = ref_samples[:n], rec_samples[lag * channels:lag * channels + n]
    energy = sum(v * v for v in a)
    gain = sum(x * y for x, y in zip(a, b)) / energy if energy else 0.0
    noise = sum((y - gain * x) ** 2 for x, y in zip(a, b))
    snr = 10 * math.log10(energy / noise) if noise else math.inf
    # Length: the span holding sound, in the recording and in the reference.
    length_error_ms = ((last_sound(rec, level) - onset_rec) - (last_sound(ref, level) - onset_ref)) \
        * 1000.0 / rate
    # Gaps: 10 ms windows where the reference is loud and the recording holds a tenth of it.
    window = rate * GAP_MS // 1000
    gaps = 0
    for start in range(0, n // channels - window + 1, window):
        r = sum(abs(v) for v in ref[start:start + window])
        c = sum(abs(v) for v in rec[lag + start:lag + start + window])
        gaps += r > window * level and c < r / 10
    failed = []
    if snr < MIN_SNR_DB:
        failed.append(f"SNR below {MIN_SNR_DB:g} dB")
    if abs(length_error_ms) > MAX_LENGTH_ERROR_MS or n < len(ref) * channels:
        failed.append(f"length off by more than {MAX_LENGTH_ERROR_MS:g} ms")
    if gaps:
        failed.append("gaps")
    print(f"{label}: SNR {snr:.1f} dB (gain {gain:.4f}), length error {length_error_ms:+.1f} ms, "
          f"{gaps} gaps of {GAP_MS} ms, offset {lag / rate:.3f} s{unplayed}"
          + (": FAIL: " + ", ".join(failed) if failed else ": ok"))
    return 1 if failed else 0


if __name__ == "__main__":
    args = sys.argv[1:]
    unplayed_end = 0.0
    if args[:1] == ["--unplayed-end"] and len(args) > 1:
        unplayed_end, args = float(args[1]), args[2:]
    if len(args) != 3:
        sys.exit(__doc__)
    sys.exit(main(*args, unplayed_end))
