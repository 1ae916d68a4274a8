#!/usr/bin/python3
"""Trains rhyscan's beat classifier and writes its tree model.

Needs Debian's python3-numpy and python3-xgboost (run with /usr/bin/python3).
The features come from the C++ program rhyscan-features (the same code that
rhyscan runs), so training and analysis see the same values.

    nice -n 10 /usr/bin/python3 tools/rhyscan-train/train.py            # writes the model
    nice -n 10 /usr/bin/python3 tools/rhyscan-train/train.py --loo      # leave-one-record-out table only
    ... train.py --loo --score-rate 128                                   # the same, scoring 128/s recordings

The model is trained on the 22 training records (DS1) cut into 30-s
recordings at 256 per second, with a fixed seed and one thread, so the same
data give the same model.
"""
import argparse
import csv
import io
import json
import os
import subprocess
import sys

import numpy as np
import xgboost as xgb

DS1 = "101 106 108 109 112 114 115 116 118 119 122 124 201 203 205 207 208 209 215 220 223 230".split()
CLASSES = "NSVFQ"
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
PARAMS = {
    "objective": "multi:softprob",
    "num_class": len(CLASSES),
    "max_depth": 5,
    "eta": 0.1,
    "subsample": 0.8,
    "colsample_bytree": 0.8,
    "min_child_weight": 20,
    "tree_method": "hist",
    "nthread": 1,
    "seed": 1,
}
ROUNDS = 150
# Features the model leaves out: the absolute intervals and widths tie the
# trees to the training patients' own rates; their ratios carry over to others.
UNUSED = ["rr_prev", "rr_next", "rr_local", "rr_typical", "width",
          # Of the shape groups only the share, the width against the narrowest big
          # group and the likeness to it help; the others lowered the figures.
          "group_prematurity", "group_next_ratio", "group_corr_regular"]
# Rhythm facts the classifier applies itself after the trees (rhyscan's
# BeatClassifier does the same): a normal-shaped beat in a fast regular run is
# supraventricular. The training records hold too few such runs to learn it.
RULES = ["fast_regular_run"]
# A beat the trees call S is called S only when they give it more than this
# probability, else N (rhyscan's kSupraventricularCertainty); likewise V.
S_CERTAINTY = 0.8
V_CERTAINTY = 0.5  # rhyscan's kVentricularCertainty
# The most a rare class weighs against a normal beat.
WEIGHT_CAP = 5.0
# More training recordings from the same records, cut otherwise: (rate,
# seconds into the record where the first piece starts, gain); only the 256/s
# pieces from the start are scored. Pieces starting 10 and 20 s in and the
# 128/s pieces lowered the figures (VEB 90.22 / 87.84, SVEB 66.30 / 79.93).
AUGMENT = []
# The second stage (rhyscan's BeatContext): trees that read the first stage's
# probabilities of each beat and of the two beats before and after it, and the
# beat's own features. It is trained on first-stage probabilities of beats the
# first stage did not learn from: each fold of records (grouped by record)
# scored by trees of the others. The beat's class comes from the mean of the
# two stages' probabilities (FIRST_WEIGHT the first's share).
SECOND_STAGE = True
INNER_FOLDS = 3
SECOND_PARAMS = dict(PARAMS, max_depth=4)
SECOND_ROUNDS = 150
FIRST_WEIGHT = 0.5  # rhyscan's kFirstStageWeight
CONTEXT_COLUMNS = 15  # rhyscan's kContextColumns
# The means over the recording and the beat's shape group (the last four
# context columns) are measured but left out: they lowered the figures.
CONTEXT_USED = list(range(11))
GROUP_COLUMNS = ["group_share", "group_width_ratio", "group_prematurity", "group_next_ratio",
                 "group_corr_regular", "group_corr_narrow"]


class Table:
    """One rhyscan-features table: per beat its record, whether it is scored and
    detected, its reference class and its feature columns."""

    def __init__(self, text):
        rows = list(csv.reader(io.StringIO(text)))
        header, rows = rows[0], rows[1:]
        self.names = header[5:]
        self.record = np.array([r[0] for r in rows])
        self.piece = np.array([int(r[1]) for r in rows])
        self.scored = np.array([r[2] == "1" for r in rows])
        self.detected = np.array([r[3] == "1" for r in rows])
        self.reference = np.array([r[4] for r in rows])
        self.all = np.array([[float(v) for v in r[5:]] for r in rows], dtype=np.float32)
        self.trainable = self.detected & np.isin(self.reference, list(CLASSES))
        self.labels = np.array([CLASSES.index(r) if r in CLASSES else 0 for r in self.reference])
        self.run = self.all[:, self.names.index("fast_regular_run")]


def read_table(program, folder, rate, cache=None, offset=0, gain=1.0):
    """The table of the DS1 records at `rate`, pieces starting `offset` s in, the
    signal scaled by `gain`; kept in the folder `cache` when one is given."""
    path = cache and os.path.join(cache, "features-%d-%d-%g.csv" % (rate, offset, gain))
    if path and os.path.exists(path):
        with open(path) as f:
            text = f.read()
    else:
        text = subprocess.run([program, "--folder", folder, "--rate", str(rate), "--offset", str(offset),
                               "--gain", str(gain)] + DS1, check=True, capture_output=True, text=True).stdout
        if path:
            os.makedirs(cache, exist_ok=True)
            with open(path, "w") as f:
                f.write(text)
    return Table(text)


def class_weights(labels):
    # Rare classes weigh more, but at most 3 times a normal beat: the few
    # unclassifiable beats would otherwise decide the trees.
    counts = np.bincount(labels, minlength=len(CLASSES)).astype(float)
    w = np.where(counts > 0, len(labels) / (len(CLASSES) * np.maximum(counts, 1)), 1.0)
    w = np.clip(w / w[0], 1.0, WEIGHT_CAP)
    w[CLASSES.index("Q")] = 1.0
    return w[labels]


def train(features, labels, params=PARAMS, rounds=ROUNDS):
    data = xgb.DMatrix(features, label=labels, weight=class_weights(labels))
    return xgb.train(params, data, rounds)


def decide(probabilities, run):
    predicted = np.argmax(probabilities, axis=1)
    normal, supraventricular, ventricular = CLASSES.index("N"), CLASSES.index("S"), CLASSES.index("V")
    unsure = (predicted == supraventricular) & (probabilities[:, supraventricular] <= S_CERTAINTY)
    unsure |= (predicted == ventricular) & (probabilities[:, ventricular] <= V_CERTAINTY)
    predicted = np.where(unsure, normal, predicted)
    return np.where((predicted == normal) & (run > 0.5), supraventricular, predicted)


def first_probabilities(booster, t, used, rows):
    """The first stage's probabilities of the detected beats among `rows` (NaN elsewhere)."""
    p = np.full((len(t.record), len(CLASSES)), np.nan, dtype=np.float32)
    rows = rows & t.detected
    p[rows] = booster.predict(xgb.DMatrix(t.all[rows][:, used]))
    return p


def out_of_fold(tables, used, records):
    """First-stage probabilities of the scored table's beats of `records`, each
    from trees trained on the other folds of `records` only."""
    t = tables[0]
    p = np.full((len(t.record), len(CLASSES)), np.nan, dtype=np.float32)
    records = sorted(records)
    for k in range(INNER_FOLDS):
        fold = records[k::INNER_FOLDS]
        booster = train(*training_rows(tables, used, [r for r in DS1 if r not in records] + fold))
        rows = np.isin(t.record, fold)
        p[rows] = first_probabilities(booster, t, used, rows)[rows]
    return p


def context(t, p, used):
    """Second-stage rows of every beat of table `t` from first-stage
    probabilities `p`, in rhyscan's ComputeBeatContext order (zero for missed beats)."""
    det = np.flatnonzero(t.detected)
    _, piece = np.unique(np.char.add(np.char.add(t.record[det], ":"), t.piece[det].astype(str)), return_inverse=True)
    piece = piece.reshape(-1)
    pd = p[det].astype(np.float64)
    s, v = CLASSES.index("S"), CLASSES.index("V")
    cols = [pd[:, 0], pd[:, s], pd[:, v]]
    for shift in (-2, -1, 1, 2):
        other = np.clip(np.arange(len(det)) + shift, 0, len(det) - 1)
        there = (np.arange(len(det)) + shift == other) & (piece[other] == piece)
        cols += [np.where(there, pd[other, s], -1.0), np.where(there, pd[other, v], -1.0)]
    beats = np.bincount(piece)
    cols += [(np.bincount(piece, pd[:, c]) / beats)[piece] for c in (s, v)]
    # The beats of a shape group share its values.
    key = np.hstack([piece[:, None], t.all[det][:, [t.names.index(n) for n in GROUP_COLUMNS]].astype(np.float64)])
    _, group = np.unique(key, axis=0, return_inverse=True)
    group = group.reshape(-1)
    members = np.bincount(group)
    cols += [(np.bincount(group, pd[:, c]) / members)[group] for c in (s, v)]
    x = np.zeros((len(t.record), CONTEXT_COLUMNS), dtype=np.float32)
    x[det] = np.stack(cols, axis=1)
    return np.hstack([x[:, CONTEXT_USED], t.all[:, used]])


def train_second(tables, used, records):
    t = tables[0]
    x = context(t, out_of_fold(tables, used, records), used)
    rows = t.trainable & np.isin(t.record, records)
    return train(x[rows], t.labels[rows], SECOND_PARAMS, SECOND_ROUNDS)


def second_used(used):
    """The second stage's columns in rhyscan's context rows: its own, then the beat's features."""
    return CONTEXT_USED + [CONTEXT_COLUMNS + i for i in used]


def counts(reference, detected, predicted):
    """Scored beats only: [reference][test] as the C++ scorer counts them."""
    c = np.zeros((6, 6), dtype=np.int64)
    for ref, det, pred in zip(reference, detected, predicted):
        r = CLASSES.index(ref) if ref in CLASSES else 5
        c[r][pred if det else 5] += 1
    return c


def rates(c, cls, ignored):
    tp = c[cls][cls]
    fn = c[cls].sum() - tp
    fp = sum(c[r][cls] for r in range(6) if r != cls and r not in ignored)
    return tp, fn, fp


def line(name, c):
    qtp = c[:5, :5].sum()
    qfn = c[:5, 5].sum()
    qfp = c[5, :5].sum()
    v = rates(c, 2, (3, 4))
    s = rates(c, 1, (4,))

    def pct(a, b):
        return "      -" if a + b == 0 else "%7.2f" % (100.0 * a / (a + b))
    return "%-6s %7d %s%s%s%s%s%s   (%d/%d, %d/%d)" % (
        name, qtp + qfn, pct(qtp, qfn), pct(qtp, qfp), pct(v[0], v[1]), pct(v[0], v[2]), pct(s[0], s[1]),
        pct(s[0], s[2]), v[0] + v[1], v[0] + v[2], s[0] + s[1], s[0] + s[2])


def model_text(booster, feature_count, used):
    model = json.loads(booster.save_raw("json"))
    trees = model["learner"]["gradient_booster"]["model"]["trees"]
    info = model["learner"]["gradient_booster"]["model"]["tree_info"]
    out = ["beat-trees 1", "features %d" % feature_count, "classes %d" % len(CLASSES), "trees %d" % len(trees)]
    for tree, cls in zip(trees, info):
        left, right = tree["left_children"], tree["right_children"]
        feature, condition = tree["split_indices"], tree["split_conditions"]
        # Renumber the nodes breadth first so that children follow parents.
        order, index = [0], {0: 0}
        for n in order:
            if left[n] != -1:
                for child in (left[n], right[n]):
                    index[child] = len(order)
                    order.append(child)
        out.append("tree %d %d" % (cls, len(order)))
        for i, n in enumerate(order):
            value = "%.9g" % np.float32(condition[n])
            if left[n] == -1:
                out.append("%d -1 -1 0 0 %s" % (i, value))
            else:
                out.append("%d %d %d %d %s 0" % (i, index[left[n]], index[right[n]], used[feature[n]], value))
    return "\n".join(out) + "\n"


def training_rows(tables, used, held=()):
    """Features and labels of the trainable beats of all tables, without the
    records `held`: their pieces cut otherwise must not teach the model either."""
    x, y = [], []
    for t in tables:
        rows = t.trainable & ~np.isin(t.record, list(held))
        x.append(t.all[rows][:, used])
        y.append(t.labels[rows])
    return np.concatenate(x), np.concatenate(y)


def score(first, second, t, used, name):
    """The counts of record `name`'s scored beats in table `t`."""
    rows = (t.record == name) & t.scored
    p = first_probabilities(first, t, used, t.record == name)
    if second is not None:
        x = context(t, p, used)
        both = rows & t.detected
        p[both] = FIRST_WEIGHT * p[both] + (1 - FIRST_WEIGHT) * second.predict(xgb.DMatrix(x[both]))
    predicted = np.zeros(rows.sum(), dtype=int)
    predicted[t.detected[rows]] = decide(p[rows & t.detected], t.run[rows & t.detected])
    return counts(t.reference[rows], t.detected[rows], predicted)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--features-program", default=os.path.join(ROOT, "build", "bin", "rhyscan-features"))
    parser.add_argument("--data", default=os.path.join(ROOT, "..", "shared", "data", "mitdb"))
    parser.add_argument("--out", default=os.path.join(ROOT, "tools", "rhyscan", "model", "beat-trees.txt"))
    parser.add_argument("--cache", help="keep the feature tables in this folder and read them from there "
                        "(for trying model settings on unchanged features)")
    parser.add_argument("--loo", action="store_true", help="print the leave-one-record-out table, write nothing")
    parser.add_argument("--also-128", action="store_true",
                        help="with --loo, also score each held-out record's 128/s recordings (the gross line only)")
    args = parser.parse_args()

    scored = read_table(args.features_program, args.data, 256, args.cache)
    tables = [scored] + [read_table(args.features_program, args.data, rate, args.cache, offset, gain)
                         for rate, offset, gain in AUGMENT]
    used = [i for i, name in enumerate(scored.names) if name not in UNUSED + RULES]

    if args.loo:
        print("record   beats   QRS Se     +P   VEB Se     +P  SVEB Se     +P   (V ref/test, S ref/test)")
        gross = np.zeros((6, 6), dtype=np.int64)
        gross128 = np.zeros((6, 6), dtype=np.int64)
        if args.also_128:
            t128 = read_table(args.features_program, args.data, 128, args.cache)
        for name in DS1:
            first = train(*training_rows(tables, used, [name]))
            second = train_second(tables, used, [r for r in DS1 if r != name]) if SECOND_STAGE else None
            c = score(first, second, scored, used, name)
            gross += c
            print(line(name, c), flush=True)
            if args.also_128:
                gross128 += score(first, second, t128, used, name)
        print(line("gross", gross))
        if args.also_128:
            print(line("128/s", gross128))
        return
    text = model_text(train(*training_rows(tables, used)), len(scored.names), used)
    if SECOND_STAGE:
        text += model_text(train_second(tables, used, DS1), CONTEXT_COLUMNS + len(scored.names),
                           second_used(used))
    with open(args.out, "w") as f:
        f.write(text)
    print("wrote %s (%d bytes)" % (args.out, os.path.getsize(args.out)))


if __name__ == "__main__":
    sys.exit(main())
