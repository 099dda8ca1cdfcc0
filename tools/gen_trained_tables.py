#!/usr/bin/env python3
"""Writes silk/data/trained_tables.txt (first cut: simple fills around the fixed values)."""

import os
import sys

# ---------------------------------------------------------------------------
# Values that are fixed by the bitstream format and must stand at their place.
# ---------------------------------------------------------------------------

GAIN_VOICED_HEAD = [0, 18, 45, 94, 181, 320]
GAIN_VOICED_TAIL = [65501, 65513, 65524, 65535]
GAIN_UNVOICED_HEAD = [0, 214, 581, 1261, 2376]
GAIN_UNVOICED_TAIL = [65505, 65521, 65535]

PITCH = {  # entries, search start, head, tail
    "8k": (130, 43, [0, 194, 395, 608], [65492, 65535]),
    "12k": (194, 64, [0, 132, 266, 402], [65490, 65535]),
    "16k": (258, 86, [0, 106, 213, 321], [65514, 65535]),
    "24k": (386, 128, [0, 253, 505, 757], [65521, 65535]),
}

LTP_FIXED = {  # codebook -> {row: taps}
    0: {0: [594, 984, 2840, 1021, 669], 9: [1435, -644, 3993, -612, -2063]},
    1: {0: [1655, 2918, 5001, 3010, 1775]},
    2: {0: [-278, 415, 9345, 7106, -431], 39: [518, -66, 1718, 415, 11435]},
}
LTP_ROWS = [10, 20, 40]

PULSE_ROW0 = [0, 47113, 61501, 64590, 65125, 65277, 65352, 65407, 65450, 65474, 65488,
              65501, 65508, 65514, 65516, 65520, 65521, 65523, 65524, 65526, 65535]
PULSE_ROW9 = [0, 1, 3, 91, 4521, 14708, 28329, 41955, 52116, 58375, 61729, 63534, 64459,
              64924, 65092, 65164, 65182, 65198, 65203, 65211, 65535]

SHELL_T2_HEAD = [[0, 32615, 65535], [0, 14447, 50912, 65535], [0, 6301, 32587, 59361, 65535]]
SHELL_T3_HEAD = [[0, 32324, 65535], [0, 15328, 49505, 65535], [0, 7474, 32344, 57955, 65535]]

NLSF_BOOKS = {
    # name: order, vectors per stage, search starts, given stage-0 CDF head/tail,
    #       given vectors {(stage, vector): values}
    "voiced10": dict(order=10, counts=[64, 16, 8, 8, 8, 16], starts=[23, 8, 5, 5, 5, 9],
                     head=[0, 2658, 4420, 6107, 7757, 9408], tail=[65023, 65279, 65535],
                     fixed={(0, 0): [2210, 4023, 6981, 9260, 12573, 15687, 19207, 22383,
                                     25981, 29142]}),
    "unvoiced10": dict(order=10, counts=[32, 8, 8, 8, 8, 8], starts=[5, 3, 4, 4, 5, 5],
                       head=[0, 17096, 24130, 28997, 33179, 36696], tail=[64576, 65056, 65535],
                       fixed={(0, 0): [1877, 4646, 7712, 10745, 13964, 17028, 20239, 23182,
                                       26471, 29287]}),
    "voiced16": dict(order=16, counts=[128, 16, 8, 8, 8, 8, 8, 8, 8, 16],
                     starts=[42, 8, 4, 5, 5, 5, 5, 5, 5, 9], head=None, tail=None,
                     fixed={(0, 0): [1170, 2278, 3658, 5374, 7666, 9113, 11298, 13304, 15371,
                                     17549, 19587, 21487, 23798, 26038, 28318, 30201],
                            (1, 0): [150, 168, -17, -107, -142, -229, -320, -406, -503, -620,
                                     -867, -935, -902, -680, -398, -114]}),
    "unvoiced16": dict(order=16, counts=[32, 8, 8, 8, 8, 8, 8, 8, 8, 8],
                       starts=[5, 2, 2, 2, 2, 2, 2, 3, 3, 4],
                       head=[0, 19099, 26957, 30639, 34242, 37546], tail=[64574, 65054, 65535],
                       fixed={(0, 0): [1309, 3060, 5071, 6996, 9028, 10938, 12934, 14891, 16933,
                                       18854, 20792, 22764, 24753, 26659, 28626, 30501]}),
}

INTERP_FIXED = {0: [-647, 1884, 30078], 1: [-625, 1736, 30044], 2: [-603, 1591, 30005],
                71: [346, -3283, 19430], 72: [350, -3286, 19194], 142: [81, -901, 2409],
                143: [73, -851, 2207]}


def fill_cdf(n_entries, head, tail):
    """Crude: linear ramp between the fixed head and tail entries."""
    head = head or [0]
    tail = tail or [65535]
    gap = n_entries - len(head) - len(tail)
    a, b = head[-1], tail[0]
    mid = [a + round((b - a) * (i + 1) / (gap + 1)) for i in range(gap)]
    return head + mid + tail


def shell_table(heads, limit_parent, child_limit):
    out = []
    for p in range(1, limit_parent + 1):
        if p <= len(heads):
            out += heads[p - 1]
            continue
        allowed = [k for k in range(p + 1) if k <= child_limit and p - k <= child_limit]
        w = [1.0 if k in allowed else 0.0 for k in range(p + 1)]
        tot = sum(w)
        cdf, acc = [0], 0.0
        for k in range(p + 1):
            acc += w[k]
            cdf.append(round(65535 * acc / tot))
        out += cdf
    return out


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "silk", "data", "trained_tables.txt")
    tables = []
    tables.append(("gain_cdf_voiced", fill_cdf(65, GAIN_VOICED_HEAD, GAIN_VOICED_TAIL)))
    tables.append(("gain_cdf_unvoiced", fill_cdf(65, GAIN_UNVOICED_HEAD, GAIN_UNVOICED_TAIL)))
    for key, (n, _start, head, tail) in PITCH.items():
        tables.append(("pitch_lag_cdf_" + key, fill_cdf(n, head, tail)))
    for cb in range(3):
        vals = []
        for r in range(LTP_ROWS[cb]):
            vals += LTP_FIXED[cb].get(r, [200, 1000, 8000 + 100 * r, 1000, 200])
        tables.append(("ltp_codebook_%d" % cb, vals))
    pulses = list(PULSE_ROW0)
    for _ in range(1, 9):
        pulses += PULSE_ROW9
    pulses += PULSE_ROW9
    tables.append(("pulse_count_cdf", pulses))
    tables.append(("shell_cdf_t2", shell_table(SHELL_T2_HEAD, 12, 8)))
    tables.append(("shell_cdf_t3", shell_table(SHELL_T3_HEAD, 18, 12)))
    for name, book in NLSF_BOOKS.items():
        cdf = []
        for s, count in enumerate(book["counts"]):
            if s == 0:
                cdf += fill_cdf(count + 1, book["head"], book["tail"])
            else:
                cdf += fill_cdf(count + 1, None, None)
        vecs = []
        L = book["order"]
        for s, count in enumerate(book["counts"]):
            for v in range(count):
                if (s, v) in book["fixed"]:
                    vecs += book["fixed"][(s, v)]
                elif s == 0:
                    base = book["fixed"][(0, 0)]
                    vecs += [x + 3 * v for x in base]
                else:
                    vecs += [((v * 37 + i * 11) % 41 - 20) * 10 for i in range(L)]
        tables.append(("nlsf_cdf_" + name, cdf))
        tables.append(("nlsf_vectors_" + name, vecs))
    interp = []
    keys = sorted(INTERP_FIXED)
    for r in range(144):
        if r in INTERP_FIXED:
            interp += INTERP_FIXED[r]
            continue
        lo = max(k for k in keys if k < r)
        hi = min(k for k in keys if k > r)
        t = (r - lo) / (hi - lo)
        interp += [round(INTERP_FIXED[lo][j] * (1 - t) + INTERP_FIXED[hi][j] * t) for j in range(3)]
    tables.append(("resampler_interp_144", interp))

    # Order the tables as the decoder header declares them.
    order = ["gain_cdf_voiced", "gain_cdf_unvoiced", "pitch_lag_cdf_8k", "pitch_lag_cdf_12k",
             "pitch_lag_cdf_16k", "pitch_lag_cdf_24k", "ltp_codebook_0", "ltp_codebook_1",
             "ltp_codebook_2", "pulse_count_cdf", "shell_cdf_t2", "shell_cdf_t3",
             "nlsf_cdf_voiced10", "nlsf_vectors_voiced10", "nlsf_cdf_unvoiced10",
             "nlsf_vectors_unvoiced10", "nlsf_cdf_voiced16", "nlsf_vectors_voiced16",
             "nlsf_cdf_unvoiced16", "nlsf_vectors_unvoiced16", "resampler_interp_144"]
    d = dict(tables)
    lines = ["# Decoder tables: the project's own values, written by tools/gen_trained_tables.py.",
             "# Regenerate with: python3 tools/gen_trained_tables.py", ""]
    for name in order:
        lines.append("[%s]" % name)
        vals = d[name]
        for i in range(0, len(vals), 12):
            lines.append(" ".join(str(v) for v in vals[i:i + 12]))
        lines.append("")
    with open(out_path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
