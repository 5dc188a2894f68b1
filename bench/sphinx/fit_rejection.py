#!/usr/bin/env python3
"""Fits the command engine's rejection weights to what kestrel_sphinx_eval saw.

    kestrel_sphinx_eval --csv a.csv ...; fit_rejection.py [--by-voice] a.csv [b.csv ...]

Reads the feature rows the evaluation writes, fits a logistic regression (the
same feature scaling as CommandRejection::confidence), prints the weights in
the order CommandRejection::Weights declares them, then the share of in-table
phrases accepted correctly and of other clips rejected at several thresholds.
Rows the fixed gates reject (short utterances, phrases aligned under 20 frames,
a sound-alike yes/no word alone) take no part in the fit.

Those shares are measured on the clips the weights were fitted to, so they
flatter. --by-voice measures instead on voices the fit never heard: each voice's
clips are judged with weights fitted to the other voices' clips (noise, which
has no voice, with weights fitted to all of them), and the tallies are added up.
"""

import csv
import math
import sys

SOUND_ALIKES = {"this", "us", "now", "know"}
NAMES = ["bias", "heardCommand", "agreement", "commonPhones", "scoreMargin", "wordShare", "coverage",
         "grammarScore", "numberForm"]


def clamp(x, low, high):
    return max(low, min(high, x))


def features(r):
    frames = max(1, int(r["frames"]))
    heard = bool(r["heard"]) and int(r["heardwordframes"] or 0) > 0
    phrase_frames = int(r["phrasewordframes"])
    if heard:
        margin = clamp((int(r["phrasescore"]) - int(r["heardscore"])) / frames, -10.0, 5.0)
        share = clamp(phrase_frames / max(1, int(r["heardwordframes"])), 0.0, 2.0)
    else:
        margin, share = -10.0, 0.0
    return [1.0, float(r["heardcommand"]), float(r["agreement"]), min(int(r["common"]), 10) / 10.0, margin / 5.0,
            share, phrase_frames / frames, int(r["grammarscore"]) / frames / 50.0, float(r["numberform"])]


def gated(r):
    return (bool(r["command"]) and r["frames"] != "" and int(r["frames"]) >= 20
            and int(r["phrasewordframes"] or 0) >= 20 and r["command"] not in SOUND_ALIKES)


def spoken(label):
    return label.split(" ", 1)[1]


def fit(xs, ys, iterations=4000, rate=0.5, l2=1e-3):
    w = [0.0] * len(xs[0])
    for _ in range(iterations):
        grad = [0.0] * len(w)
        for x, y in zip(xs, ys):
            z = clamp(sum(a * b for a, b in zip(w, x)), -30.0, 30.0)
            error = 1.0 / (1.0 + math.exp(-z)) - y
            for i, xi in enumerate(x):
                grad[i] += error * xi
        w = [wi - rate * (g / len(xs) + l2 * wi) for wi, g in zip(w, grad)]
    return w


def voice_of(kind, label):
    """The voice that spoke a clip ("en-us/175/30 open notepad"); None for noise."""
    return None if kind == "noise" else label.split("/", 1)[0]


def read_clips(files):
    rows = [r for f in files for r in csv.DictReader(open(f, newline=""))]
    # One clip may give several verdicts, on consecutive rows with its number.
    clips = []
    previous = None
    for number, r in enumerate(rows):
        key = (r.get("clip", number), r["kind"], r["label"])
        if key == previous:
            clips[-1][1].append(r)
        else:
            clips.append(((r["kind"], r["label"]), [r]))
        previous = key
    return clips


def fit_clips(clips):
    xs, ys = [], []
    for (kind, label), rs in clips:
        for r in rs:
            if gated(r):
                xs.append(features(r))
                ys.append(1 if kind == "in" and r["command"] == spoken(label) else 0)
    if not xs:
        sys.exit("no feature rows")
    return fit(xs, ys)


def tally(judged, threshold):
    """Counts per kind (right, total) and wrong commands, for clips judged with their weights."""
    counts = {"in": [0, 0], "out": [0, 0], "noise": [0, 0]}
    wrong = 0
    for (kind, label), rs, w in judged:
        accepted = [r for r in rs if gated(r) and sum(a * b for a, b in zip(w, features(r))) >= threshold]
        counts[kind][1] += 1
        if kind == "in":
            right = len(accepted) == 1 and accepted[0]["command"] == spoken(label)
            counts[kind][0] += right
            wrong += bool(accepted) and not right
        else:
            counts[kind][0] += not accepted
    return counts, wrong


def report(judged):
    for threshold in (0.5, 1.0, 1.25, 1.5, 1.75, 2.0):
        counts, wrong = tally(judged, threshold)
        share = {k: 100.0 * a / max(1, n) for k, (a, n) in counts.items()}
        print(f"threshold {threshold}: in-table accepted {counts['in'][0]}/{counts['in'][1]} ({share['in']:.1f}%), "
              f"out-of-table rejected {counts['out'][0]}/{counts['out'][1]} ({share['out']:.2f}%), "
              f"noise rejected {counts['noise'][0]}/{counts['noise'][1]}, wrong commands {wrong}")


def main(args):
    by_voice = "--by-voice" in args
    clips = read_clips([a for a in args if a != "--by-voice"])
    w = fit_clips(clips)
    print("weights: " + ", ".join(f"{n} {v:.3f}" for n, v in zip(NAMES, w)))
    if not by_voice:
        report([(key, rs, w) for key, rs in clips])
        return
    voices = sorted({voice_of(*key) for key, _ in clips} - {None})
    judged = [(key, rs, w) for key, rs in clips if voice_of(*key) is None]
    for voice in voices:
        held_out = fit_clips([c for c in clips if voice_of(*c[0]) not in (voice, None)])
        judged += [(key, rs, held_out) for key, rs in clips if voice_of(*key) == voice]
        print(f"fitted without {voice}: " + ", ".join(f"{v:.3f}" for v in held_out))
    print("each voice judged with weights fitted without it:")
    report(judged)


if __name__ == "__main__":
    if not [a for a in sys.argv[1:] if a != "--by-voice"]:
        sys.exit(__doc__)
    main(sys.argv[1:])
