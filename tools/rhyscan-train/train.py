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
          "group_prematurity", "group_next_ratio", "group_corr_regular",
          # The beat against the dominant one at fixed points: fewer false
          # ventricular calls, but fewer supraventricular beats found as well.
          "shape_m80", "shape_m40", "shape_m20", "shape_0", "shape_p20", "shape_p40", "shape_p80", "shape_p120"]
# Rhythm facts the classifier applies itself after the trees (rhyscan's
# BeatClassifier does the same): a normal-shaped beat in a fast regular run is
# supraventricular. The training records hold too few such runs to learn it.
RULES = ["fast_regular_run"]
# A beat the trees call S is called S only when they give it at least this
# probability, else N (rhyscan's kSupraventricularCertainty).
S_CERTAINTY = 0.85
# The most a rare class weighs against a normal beat.
WEIGHT_CAP = 5.0


def read_table(program, folder, rate, cache=None):
    if cache and os.path.exists(cache):
        with open(cache) as f:
            text = f.read()
    else:
        text = subprocess.run([program, "--folder", folder, "--rate", str(rate)] + DS1,
                              check=True, capture_output=True, text=True).stdout
        if cache:
            with open(cache, "w") as f:
                f.write(text)
    rows = list(csv.reader(io.StringIO(text)))
    header, rows = rows[0], rows[1:]
    record = np.array([r[0] for r in rows])
    scored = np.array([r[2] == "1" for r in rows])
    detected = np.array([r[3] == "1" for r in rows])
    reference = np.array([r[4] for r in rows])
    features = np.array([[float(v) for v in r[5:]] for r in rows], dtype=np.float32)
    return header[5:], record, scored, detected, reference, features


def class_weights(labels):
    # Rare classes weigh more, but at most 3 times a normal beat: the few
    # unclassifiable beats would otherwise decide the trees.
    counts = np.bincount(labels, minlength=len(CLASSES)).astype(float)
    w = np.where(counts > 0, len(labels) / (len(CLASSES) * np.maximum(counts, 1)), 1.0)
    w = np.clip(w / w[0], 1.0, WEIGHT_CAP)
    w[CLASSES.index("Q")] = 1.0
    return w[labels]


def train(features, labels):
    data = xgb.DMatrix(features, label=labels, weight=class_weights(labels))
    return xgb.train(PARAMS, data, ROUNDS)


def predict(booster, features, run):
    probabilities = booster.predict(xgb.DMatrix(features))
    predicted = np.argmax(probabilities, axis=1)
    normal, supraventricular = CLASSES.index("N"), CLASSES.index("S")
    unsure = (predicted == supraventricular) & (probabilities[:, supraventricular] <= S_CERTAINTY)
    predicted = np.where(unsure, normal, predicted)
    return np.where((predicted == normal) & (run > 0.5), supraventricular, predicted)


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


def write_model(booster, path, feature_count, used):
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
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--features-program", default=os.path.join(ROOT, "build", "bin", "rhyscan-features"))
    parser.add_argument("--data", default=os.path.join(ROOT, "..", "shared", "data", "mitdb"))
    parser.add_argument("--out", default=os.path.join(ROOT, "tools", "rhyscan", "model", "beat-trees.txt"))
    parser.add_argument("--features-csv", help="read the feature table from this file; compute and keep it there "
                        "when it is missing (for trying model settings on unchanged features)")
    parser.add_argument("--loo", action="store_true", help="print the leave-one-record-out table, write nothing")
    parser.add_argument("--also-128", action="store_true",
                        help="with --loo, also score each held-out record's 128/s recordings (the gross line only)")
    args = parser.parse_args()

    names, record, scored, detected, reference, all_features = read_table(
        args.features_program, args.data, 256, args.features_csv)
    used = [i for i, name in enumerate(names) if name not in UNUSED + RULES]
    features = all_features[:, used]
    run = all_features[:, names.index("fast_regular_run")]
    trainable = detected & np.isin(reference, list(CLASSES))
    labels = np.array([CLASSES.index(r) if r in CLASSES else 0 for r in reference])

    if args.loo:
        print("record   beats   QRS Se     +P   VEB Se     +P  SVEB Se     +P   (V ref/test, S ref/test)")
        gross = np.zeros((6, 6), dtype=np.int64)
        gross128 = np.zeros((6, 6), dtype=np.int64)
        if args.also_128:
            names128, record128, scored128, detected128, reference128, all128 = read_table(
                args.features_program, args.data, 128)
            run128 = all128[:, names128.index("fast_regular_run")]
            all128 = all128[:, used]
        for name in DS1:
            held = record == name
            booster = train(features[trainable & ~held], labels[trainable & ~held])
            rows = held & scored
            predicted = np.zeros(rows.sum(), dtype=int)
            predicted[detected[rows]] = predict(booster, features[rows & detected], run[rows & detected])
            c = counts(reference[rows], detected[rows], predicted)
            gross += c
            print(line(name, c), flush=True)
            if args.also_128:
                rows = (record128 == name) & scored128
                predicted = np.zeros(rows.sum(), dtype=int)
                predicted[detected128[rows]] = predict(booster, all128[rows & detected128], run128[rows & detected128])
                gross128 += counts(reference128[rows], detected128[rows], predicted)
        print(line("gross", gross))
        if args.also_128:
            print(line("128/s", gross128))
        return
    booster = train(features[trainable], labels[trainable])
    write_model(booster, args.out, len(names), used)
    print("wrote %s (%d bytes)" % (args.out, os.path.getsize(args.out)))


if __name__ == "__main__":
    sys.exit(main())
