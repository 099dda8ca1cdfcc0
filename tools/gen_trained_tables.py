#!/usr/bin/env python3
"""Generate silk/data/trained_tables.txt, the decoder's statistical tables.

Usage:  python3 tools/gen_trained_tables.py [OUTPUT]
        (default OUTPUT: silk/data/trained_tables.txt next to this tool)

The bitstream format fixes only some entries of these tables (the ends of
the cumulative tables, a few codebook rows, seven rows of the interpolation
kernel). Everything else is built here from smooth models that agree with the
fixed entries; the fixed entries are written unchanged at their places. The
values are the project's own: a stream whose encoder used other tables
decodes differently. Later they are to be replaced by tables trained on
speech; the file format stays the same.

The script uses only the Python standard library and no randomness from the
environment (a fixed splitmix64 sequence), so running it again reproduces the
file byte for byte.

Method, table by table:

* Cumulative tables with fixed first and last entries (first gain, pitch
  lag, stage 0 of three NLSF codebooks). The unknown symbols get a
  log-probability curve: a cubic Hermite segment that continues the fixed
  head and the fixed tail with their own level and slope, plus a bump
  B(x)*(A + C*u) that vanishes with zero slope at both junctions (B is the
  squared normalised parabola, u runs from -1 to 1). A makes the
  probabilities fill exactly the mass between head and tail. C puts the
  median on the table's search start (the decoder begins its symbol search
  there) when that leaves the curve with a single peak; this holds for the
  voiced gain and the 8, 12 and 16 kHz pitch lags, whose peak then lies at
  the search start too. Where the fixed entries do not allow it (unvoiced
  gain, 24 kHz pitch lag, the NLSF stages), C gives the smoothest curve:
  least squared second difference of the log-probabilities.
* Cumulative tables without fixed entries. Stage 0 of the voiced order-16
  NLSF codebook takes the shape of the voiced order-10 one, stretched to 128
  symbols by a power warp that puts its median on its search start. Later
  NLSF stages use a discretised Gaussian (width 0.35 of the stage) with a
  linear log tilt solved to put the median on the search start.
* Probabilities become integer widths by largest remainders, every symbol that
  can occur at least 1; the symbols that cannot occur get width 0.
* Shell split tables T2 and T3: for parent p the left half receives k pulses
  with weight C(p, k) * exp(-(c / p) * (k - p/2)^2), a binomial sharpened
  towards the even split. c is fitted per table to its fixed rows (about 0.50
  for T2, 0.17 for T3). A split whose child would exceed the limit of the
  child's own table (T1: 8 for children of T2, T2: 12 for children of T3)
  cannot occur and has width 0.
* Pulse-count rows 1..8: a discretised gamma distribution of the count (mean
  growing geometrically from row 0's 0.4 to about 7.5 pulses per block at
  row 8, variance-to-mean ratio moving from row 0's towards row 9's), mixed
  with a small exponentially decaying floor like row 0's tail; the escape
  symbol's mass grows geometrically from row 0's to 2 % at row 8.
* NLSF stage 0 vectors: line spectral frequencies of synthetic all-pole
  spectra, L/2 resonances each (speech-like formant ranges and bandwidths for
  the voiced books; broader, higher resonances for the unvoiced books; one
  broad low resonance for spectral tilt), found by root search of the sum and
  difference polynomials, then pulled 0..65 % of the way towards the fixed
  vector 0 so that the set runs from near-average to strongly resonant
  spectra. Each vector is clamped into 454..32075 and to the codebook's
  minimum spacings, and the set is ordered by distance from vector 0, so that
  the likely first symbols hold typical spectra.
* NLSF later stages: smooth corrections (a few cosine modes over the line
  index, decaying with mode number) whose peak size shrinks from stage to
  stage; in each stage the smallest vectors sit on the most likely symbols.
  All magnitudes stay at or below 1687.
* LTP codebooks: five-tap predictors in Q14, each a gain times a windowed,
  band-limited fractional-delay kernel normalised to unit sum. Gains, delays
  and bandwidths follow a Halton sequence within per-codebook ranges (weak,
  medium, strong periodicity); delays cluster near the middle tap and rows
  are ordered by delay, so most rows have the middle tap dominant. Sums stay
  below 16384.
* Interpolation kernel (144 phases of a 6-tap symmetric kernel): a Kaiser-
  windowed sinc fitted by least squares to the 21 fixed taps (the fixed taps
  at distance 3 are not zero, so the window reaches a little beyond), plus a
  small correction along the phase index for each of the three kernel
  segments: a shape-preserving cubic through the mean misfit of each group
  of fixed rows (0-2, 71-72, 142-143) and, around each group, a term fading
  within a few rows that gives the curve that group's own slope. Each phase
  is then scaled to a DC gain running linearly between the fixed phases'
  gains (32744 at the ends, 32751 in the middle); after rounding, the largest
  free tap absorbs the last unit or two. The fixed rows are written exactly.
"""

import math
import os
import sys

# ---------------------------------------------------------------------------
# Fixed values.
# ---------------------------------------------------------------------------

GAIN_START = 32
GAIN_VOICED_HEAD = [0, 18, 45, 94, 181, 320]
GAIN_VOICED_TAIL = [65501, 65513, 65524, 65535]
GAIN_UNVOICED_HEAD = [0, 214, 581, 1261, 2376]
GAIN_UNVOICED_TAIL = [65505, 65521, 65535]

PITCH = [  # name, entries, search start, head, tail
    ("8k", 130, 43, [0, 194, 395, 608], [65492, 65535]),
    ("12k", 194, 64, [0, 132, 266, 402], [65490, 65535]),
    ("16k", 258, 86, [0, 106, 213, 321], [65514, 65535]),
    ("24k", 386, 128, [0, 253, 505, 757], [65521, 65535]),
]

LTP_ROWS = [10, 20, 40]
LTP_FIXED = [
    {0: [594, 984, 2840, 1021, 669], 9: [1435, -644, 3993, -612, -2063]},
    {0: [1655, 2918, 5001, 3010, 1775]},
    {0: [-278, 415, 9345, 7106, -431], 39: [518, -66, 1718, 415, 11435]},
]

PULSE_ROW0 = [0, 47113, 61501, 64590, 65125, 65277, 65352, 65407, 65450, 65474, 65488,
              65501, 65508, 65514, 65516, 65520, 65521, 65523, 65524, 65526, 65535]
PULSE_ROW9 = [0, 1, 3, 91, 4521, 14708, 28329, 41955, 52116, 58375, 61729, 63534, 64459,
              64924, 65092, 65164, 65182, 65198, 65203, 65211, 65535]

SHELL_T2_HEAD = [[0, 32615, 65535], [0, 14447, 50912, 65535], [0, 6301, 32587, 59361, 65535]]
SHELL_T3_HEAD = [[0, 32324, 65535], [0, 15328, 49505, 65535], [0, 7474, 32344, 57955, 65535]]

NLSF_BOOKS = [
    dict(name="voiced10", order=10, voiced=True, khz=8,
         counts=[64, 16, 8, 8, 8, 16], starts=[23, 8, 5, 5, 5, 9],
         spacing=[563, 3, 22, 20, 3, 3, 132, 119, 358, 86, 964],
         head=[0, 2658, 4420, 6107, 7757, 9408], tail=[65023, 65279, 65535],
         fixed={(0, 0): [2210, 4023, 6981, 9260, 12573, 15687, 19207, 22383, 25981, 29142]}),
    dict(name="unvoiced10", order=10, voiced=False, khz=8,
         counts=[32, 8, 8, 8, 8, 8], starts=[5, 3, 4, 4, 5, 5],
         spacing=[462, 3, 64, 74, 98, 50, 97, 68, 120, 53, 639],
         head=[0, 17096, 24130, 28997, 33179, 36696], tail=[64576, 65056, 65535],
         fixed={(0, 0): [1877, 4646, 7712, 10745, 13964, 17028, 20239, 23182, 26471, 29287]}),
    dict(name="voiced16", order=16, voiced=True, khz=16,
         counts=[128, 16, 8, 8, 8, 8, 8, 8, 8, 16], starts=[42, 8, 4, 5, 5, 5, 5, 5, 5, 9],
         spacing=[266, 3, 40, 3, 3, 16, 78, 89, 107, 141, 188, 146, 272, 240, 235, 215, 632],
         head=None, tail=None,
         fixed={(0, 0): [1170, 2278, 3658, 5374, 7666, 9113, 11298, 13304, 15371, 17549, 19587,
                         21487, 23798, 26038, 28318, 30201],
                (1, 0): [150, 168, -17, -107, -142, -229, -320, -406, -503, -620, -867, -935,
                         -902, -680, -398, -114]}),
    dict(name="unvoiced16", order=16, voiced=False, khz=16,
         counts=[32, 8, 8, 8, 8, 8, 8, 8, 8, 8], starts=[5, 2, 2, 2, 2, 2, 2, 3, 3, 4],
         spacing=[148, 3, 60, 68, 117, 86, 121, 124, 152, 153, 207, 151, 225, 239, 126, 183, 792],
         head=[0, 19099, 26957, 30639, 34242, 37546], tail=[64574, 65054, 65535],
         fixed={(0, 0): [1309, 3060, 5071, 6996, 9028, 10938, 12934, 14891, 16933, 18854, 20792,
                         22764, 24753, 26659, 28626, 30501]}),
]
NLSF_MIN, NLSF_MAX = 454, 32075
NLSF_CORRECTION_MAX = 1687

INTERP_FIXED = {0: [-647, 1884, 30078], 1: [-625, 1736, 30044], 2: [-603, 1591, 30005],
                71: [346, -3283, 19430], 72: [350, -3286, 19194], 142: [81, -901, 2409],
                143: [73, -851, 2207]}

CDF_TOTAL = 65535


# ---------------------------------------------------------------------------
# Deterministic pseudo-random numbers (splitmix64).
# ---------------------------------------------------------------------------

class Rng:
    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF

    def next64(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & 0xFFFFFFFFFFFFFFFF
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & 0xFFFFFFFFFFFFFFFF
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & 0xFFFFFFFFFFFFFFFF
        return z ^ (z >> 31)

    def uniform(self, lo=0.0, hi=1.0):
        return lo + (hi - lo) * ((self.next64() >> 11) / float(1 << 53))


def halton(index, base):
    f, r = 1.0, 0.0
    while index > 0:
        f /= base
        r += f * (index % base)
        index //= base
    return r


def bisect(f, lo, hi, iterations=48):
    """Root of an increasing function f on [lo, hi] (clamped to the ends)."""
    flo, fhi = f(lo), f(hi)
    if flo >= 0:
        return lo
    if fhi <= 0:
        return hi
    for _ in range(iterations):
        mid = 0.5 * (lo + hi)
        if f(mid) < 0:
            lo = mid
        else:
            hi = mid
    return 0.5 * (lo + hi)


# ---------------------------------------------------------------------------
# Cumulative tables.
# ---------------------------------------------------------------------------

def quantize_widths(weights, total):
    """Integer widths proportional to weights, summing to total.

    Symbols with weight 0 get width 0, all others at least 1 (largest
    remainder rounding, ties to the lower index).
    """
    live = [i for i, w in enumerate(weights) if w > 0]
    if len(live) > total:
        raise ValueError("more live symbols than total mass")
    widths = [0] * len(weights)
    remaining = total - len(live)  # one unit is reserved for every live symbol
    wsum = sum(weights[i] for i in live)
    exact = {i: remaining * weights[i] / wsum for i in live}
    for i in live:
        widths[i] = 1 + int(math.floor(exact[i]))
    left = total - sum(widths)
    order = sorted(live, key=lambda i: (-(exact[i] - math.floor(exact[i])), i))
    for i in order[:left]:
        widths[i] += 1
    return widths


def cdf_from_widths(widths, start_value=0):
    cdf = [start_value]
    for w in widths:
        cdf.append(cdf[-1] + w)
    return cdf


def hermite(x, x0, y0, s0, x1, y1, s1):
    h = x1 - x0
    t = (x - x0) / h
    t2, t3 = t * t, t * t * t
    return ((2 * t3 - 3 * t2 + 1) * y0 + (t3 - 2 * t2 + t) * h * s0 +
            (-2 * t3 + 3 * t2) * y1 + (t3 - t2) * h * s1)


def log_slope(pmf, at_end):
    """Mean log-ratio of the last (or first) two steps of a known pmf run."""
    logs = [math.log(p) for p in pmf]
    if len(logs) < 2:
        return 0.0
    diffs = [logs[i + 1] - logs[i] for i in range(len(logs) - 1)]
    use = diffs[-2:] if at_end else diffs[:2]
    return sum(use) / len(use)


def single_peaked(p):
    """True when p rises to one maximum and falls from it (small wiggles in
    the flat ends, below 1 % of the maximum, are ignored)."""
    top = max(range(len(p)), key=lambda i: p[i])
    slack = 0.01 * p[top]
    run = p[0]
    for v in p[1:top + 1]:  # rising part: no real drop below the running maximum
        if v < run - slack:
            return False
        run = max(run, v)
    run = p[top]
    for v in p[top + 1:]:  # falling part: no real rise above the running minimum
        if v > run + slack:
            return False
        run = min(run, v)
    return True


def fill_partial_cdf(entries, head, tail, start):
    """Complete a cumulative table whose first and last entries are fixed."""
    n = entries - 1  # symbols
    h, t = len(head) - 1, len(tail) - 1  # known symbols at each end
    head_pmf = [head[i + 1] - head[i] for i in range(h)]
    tail_pmf = [tail[i + 1] - tail[i] for i in range(t)]
    x_l, y_l, s_l = h - 1, math.log(head_pmf[-1]), log_slope(head_pmf, True)
    x_r, y_r, s_r = n - t, math.log(tail_pmf[0]), log_slope(tail_pmf, False)
    unknown = list(range(h, n - t))
    mass = tail[0] - head[-1]
    half_width = (x_r - x_l) / 2.0
    mid = (x_r + x_l) / 2.0

    base = [hermite(x, x_l, y_l, s_l, x_r, y_r, s_r) for x in unknown]
    bump = [(((x - x_l) * (x_r - x)) / (half_width * half_width)) ** 2 for x in unknown]
    tilt = [(x - mid) / half_width for x in unknown]

    def pmf(a, c):
        return [math.exp(b + k * (a + c * u)) for b, k, u in zip(base, bump, tilt)]

    def solve(c):
        # log(mass) is increasing and convex in a: Newton's method started to
        # the right of the root converges to it from above.
        terms = [(b + k * c * u, k) for b, k, u in zip(base, bump, tilt)]
        a = 60.0
        for _ in range(200):
            vals = [(math.exp(e + k * a), k) for e, k in terms]
            total = sum(v for v, _ in vals)
            g = math.log(total) - math.log(mass)
            assert g > -1e-9, "Newton start must lie right of the root"
            if g <= 1e-14:
                break
            a -= g * total / sum(v * k for v, k in vals)
        return pmf(a, c)

    def whole(p):
        return [float(v) for v in head_pmf] + p + [float(v) for v in tail_pmf]

    def below_start(c):
        return head[-1] + sum(v for x, v in zip(unknown, solve(c)) if x < start)

    def roughness(c):
        logs = [math.log(v) for v in whole(solve(c))]
        lo, hi = max(1, h - 1), min(n - 2, n - t)
        return sum((logs[i - 1] - 2 * logs[i] + logs[i + 1]) ** 2 for i in range(lo, hi + 1))

    # Preferred: half of the mass below the search start, if the fixed ends
    # leave room for it and the curve keeps a single peak.
    p = None
    c_limit = 40.0
    if head[-1] < CDF_TOTAL / 2.0 < tail[0] and h <= start <= n - t:
        # More tilt moves mass to the right, so the mass below the start falls.
        c = bisect(lambda c: CDF_TOTAL / 2.0 - below_start(c), -c_limit, c_limit)
        if abs(c) < c_limit * 0.999 and single_peaked(whole(solve(c))):
            p = solve(c)
    if p is None:
        # Otherwise the smoothest curve: least squared second difference of
        # the log-probabilities (coarse scan, then golden-section refinement).
        grid = [-c_limit + i * (2 * c_limit / 80) for i in range(81)]
        best = min(grid, key=roughness)
        lo, hi = best - c_limit / 40, best + c_limit / 40
        phi = (math.sqrt(5) - 1) / 2
        for _ in range(40):
            m1, m2 = hi - phi * (hi - lo), lo + phi * (hi - lo)
            if roughness(m1) < roughness(m2):
                hi = m2
            else:
                lo = m1
        p = solve(0.5 * (lo + hi))
    widths = quantize_widths(p, mass)
    return head + cdf_from_widths(widths, head[-1])[1:] + tail[1:]


def tilted_gaussian_cdf(symbols, start, width=0.35):
    """A bell over the symbols with its median on the search start."""
    sigma = width * symbols

    def weights(a):
        return [math.exp(a * (i + 0.5 - start) / symbols - ((i + 0.5 - start) / sigma) ** 2 / 2)
                for i in range(symbols)]

    def below(a):
        w = weights(a)
        return sum(w[:start]) / sum(w)

    a = bisect(lambda a: 0.5 - below(a), -60.0, 60.0)
    return cdf_from_widths(quantize_widths(weights(a), CDF_TOTAL))


def warped_cdf(source_cdf, symbols, start):
    """Stretch a cumulative table onto another symbol count.

    x -> symbols_src * (x / symbols)^g, with g chosen so that the median of
    the result lies on the new search start.
    """
    src_n = len(source_cdf) - 1

    def f_src(x):  # piecewise linear continuation of the source table
        if x <= 0:
            return 0.0
        if x >= src_n:
            return float(CDF_TOTAL)
        i = int(math.floor(x))
        return source_cdf[i] + (x - i) * (source_cdf[i + 1] - source_cdf[i])

    x_med = bisect(lambda x: f_src(x) - CDF_TOTAL / 2.0, 0.0, float(src_n))
    g = math.log(x_med / src_n) / math.log(start / symbols)
    F = [f_src(src_n * (i / symbols) ** g) for i in range(symbols + 1)]
    weights = [F[i + 1] - F[i] for i in range(symbols)]
    return cdf_from_widths(quantize_widths(weights, CDF_TOTAL))


# ---------------------------------------------------------------------------
# Shell split tables.
# ---------------------------------------------------------------------------

def shell_weights(p, c, child_limit):
    return [math.comb(p, k) * math.exp(-(c / p) * (k - p / 2.0) ** 2)
            if k <= child_limit and p - k <= child_limit else 0.0
            for k in range(p + 1)]


def fit_shell_sharpness(heads):
    """Least-squares c of log(pmf / C(p,k)) = const - (c/p)(k - p/2)^2 over the fixed rows."""
    num = den = 0.0
    for cdf in heads:
        p = len(cdf) - 2
        if p < 2:
            continue
        pmf = [cdf[k + 1] - cdf[k] for k in range(p + 1)]
        ys = [math.log(pmf[k] / math.comb(p, k)) for k in range(p + 1)]
        xs = [-((k - p / 2.0) ** 2) / p for k in range(p + 1)]
        mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
        num += sum((x - mx) * (y - my) for x, y in zip(xs, ys))
        den += sum((x - mx) ** 2 for x in xs)
    return num / den


def shell_table(heads, parents, child_limit):
    c = fit_shell_sharpness(heads)
    out = []
    for p in range(1, parents + 1):
        if p <= len(heads):
            out += heads[p - 1]
        else:
            out += cdf_from_widths(quantize_widths(shell_weights(p, c, child_limit), CDF_TOTAL))
    return out


# ---------------------------------------------------------------------------
# Pulse counts per block.
# ---------------------------------------------------------------------------

def gamma_cdf(x, shape, scale):
    """Regularised lower incomplete gamma P(shape, x / scale)."""
    if x <= 0:
        return 0.0
    z = x / scale
    if z < shape + 1:  # series
        term = total = 1.0 / shape
        k = shape
        for _ in range(500):
            k += 1
            term *= z / k
            total += term
            if term < total * 1e-16:
                break
        return total * math.exp(-z + shape * math.log(z) - math.lgamma(shape))
    # continued fraction for the upper tail (modified Lentz)
    b = z + 1 - shape
    cc = 1e300
    d = 1 / b
    h = d
    for i in range(1, 500):
        an = -i * (i - shape)
        b += 2
        d = an * d + b
        d = 1e-300 if abs(d) < 1e-300 else d
        cc = b + an / cc
        cc = 1e-300 if abs(cc) < 1e-300 else cc
        d = 1 / d
        delta = d * cc
        h *= delta
        if abs(delta - 1) < 1e-16:
            break
    return 1.0 - math.exp(-z + shape * math.log(z) - math.lgamma(shape)) * h


def pmf_moments(cdf):
    p = [cdf[i + 1] - cdf[i] for i in range(19)]  # counts 0..18, escape excluded
    tot = float(sum(p))
    mean = sum(i * v for i, v in enumerate(p)) / tot
    var = sum((i - mean) ** 2 * v for i, v in enumerate(p)) / tot
    return mean, var


def pulse_count_rows():
    mean0, var0 = pmf_moments(PULSE_ROW0)
    mean9, var9 = pmf_moments(PULSE_ROW9)
    # Continuous counts: a count s covers [s, s + 1), so the mean moves by 1/2
    # and the variance by 1/12.
    cmean0, cmean8 = mean0 + 0.5, 8.0
    disp0, disp9 = (var0 + 1 / 12.0) / cmean0, (var9 + 1 / 12.0) / (mean9 + 0.5)
    esc0 = (PULSE_ROW0[20] - PULSE_ROW0[19]) / float(CDF_TOTAL)
    esc8 = 0.02
    floor_mass = sum(PULSE_ROW0[i + 1] - PULSE_ROW0[i] for i in range(5, 19)) / float(CDF_TOTAL)
    rows = []
    for k in range(1, 9):
        mean = cmean0 * (cmean8 / cmean0) ** (k / 8.0)
        disp = disp0 + (disp9 - disp0) * k / 9.0
        scale, shape = disp, mean / disp
        body = [gamma_cdf(s + 1, shape, scale) - gamma_cdf(s, shape, scale) for s in range(19)]
        bsum = sum(body)
        floor = [math.exp(-s / 4.0) for s in range(19)]
        fsum = sum(floor)
        esc = esc0 * (esc8 / esc0) ** (k / 8.0)
        w = [(1 - esc - floor_mass) * b / bsum + floor_mass * f / fsum
             for b, f in zip(body, floor)]
        w.append(esc)
        rows.append(cdf_from_widths(quantize_widths(w, CDF_TOTAL)))
    return rows


# ---------------------------------------------------------------------------
# NLSF codebooks.
# ---------------------------------------------------------------------------

def poly_mul(a, b):
    out = [0.0] * (len(a) + len(b) - 1)
    for i, x in enumerate(a):
        for j, y in enumerate(b):
            out[i + j] += x * y
    return out


LSF_GRID = 512
_lsf_basis = {}


def lsf_basis(order):
    """cos/sin((n/2 - k) w) on the search grid, n = order + 1 (cached)."""
    if order not in _lsf_basis:
        n = order + 1
        ws = [math.pi * (i + 0.5) / LSF_GRID for i in range(LSF_GRID)]
        cos_t = [[math.cos((n / 2.0 - k) * w) for k in range(n + 1)] for w in ws]
        sin_t = [[math.sin((n / 2.0 - k) * w) for k in range(n + 1)] for w in ws]
        _lsf_basis[order] = (ws, cos_t, sin_t)
    return _lsf_basis[order]


def lsf_from_poles(poles, order):
    """Line spectral frequencies (radians, ascending) of an all-pole filter.

    poles: (angle, radius) pairs, one per conjugate pair; order = 2 * len(poles).
    With A(z) the filter polynomial and n = order + 1, the frequencies are the
    zeros on the unit circle of P(z) = A(z) + z^-n A(1/z) and
    Q(z) = A(z) - z^-n A(1/z) inside (0, pi); on the circle P and Q reduce to
    real cosine and sine sums. Sign changes on a grid are refined by
    bisection. Returns None when not all order frequencies are found.
    """
    a = [1.0]
    for theta, r in poles:
        a = poly_mul(a, [1.0, -2.0 * r * math.cos(theta), r * r])
    a = a + [0.0]  # a_0 .. a_n
    n = order + 1
    p = [a[k] + a[n - k] for k in range(n + 1)]
    q = [a[k] - a[n - k] for k in range(n + 1)]
    half = n / 2.0
    ws, cos_t, sin_t = lsf_basis(order)
    roots = []
    for coef, table, trig in ((p, cos_t, math.cos), (q, sin_t, math.sin)):
        def f(w):
            return sum(coef[k] * trig((half - k) * w) for k in range(n + 1))
        values = [sum(c * b for c, b in zip(coef, row)) for row in table]
        for i in range(1, LSF_GRID):
            if (values[i - 1] < 0) != (values[i] < 0):
                lo, hi, flo = ws[i - 1], ws[i], values[i - 1]
                for _ in range(44):
                    m = 0.5 * (lo + hi)
                    fm = f(m)
                    if (fm < 0) == (flo < 0):
                        lo, flo = m, fm
                    else:
                        hi = m
                roots.append(0.5 * (lo + hi))
    roots.sort()
    return roots if len(roots) == order else None


def draw_poles(rng, voiced, khz, order):
    """Resonances (Hz, bandwidth Hz) of one synthetic spectrum."""
    nyq = khz * 500.0
    res = []
    if voiced:
        # A broad low resonance gives the falling tilt of voiced speech.
        res.append((rng.uniform(100, 400), rng.uniform(300, 900)))
        ranges = [(250, 900, 50, 160), (800, 2400, 60, 220), (1900, 3200, 90, 320),
                  (2900, 3900, 140, 450), (3800, 4900, 180, 600), (4800, 6200, 300, 900),
                  (6000, 7700, 400, 1200)]
    else:
        res.append((rng.uniform(100, 600), rng.uniform(500, 1500)))
        ranges = [(300, 1600, 150, 600), (1200, 3000, 200, 800), (2200, 3800, 250, 900),
                  (3000, 3950, 300, 1000), (3900, 5500, 300, 1200), (5000, 6800, 400, 1400),
                  (6200, 7800, 500, 1600)]
    for lo, hi, blo, bhi in ranges:
        if len(res) == order // 2:
            break
        if hi > nyq:
            hi = nyq * 0.985
            lo = min(lo, hi - 200)
        res.append((rng.uniform(lo, hi), rng.uniform(blo, bhi)))
    poles = []
    for f, bw in res:
        poles.append((math.pi * f / nyq, math.exp(-math.pi * bw / (2 * nyq))))
    return poles


def clamp_vector(v, spacing):
    lo = max(NLSF_MIN, spacing[0])
    hi = min(NLSF_MAX, 32768 - spacing[-1])
    L = len(v)
    v = [min(max(x, lo), hi) for x in v]
    for i in range(1, L):
        v[i] = max(v[i], v[i - 1] + max(spacing[i], 1))
    v[L - 1] = min(v[L - 1], hi)
    for i in range(L - 2, -1, -1):
        v[i] = min(v[i], v[i + 1] - max(spacing[i + 1], 1))
    return v


def stage0_vectors(book, rng):
    L = book["order"]
    fixed0 = book["fixed"][(0, 0)]
    count = book["counts"][0]
    vectors = []
    while len(vectors) < count - 1:
        poles = draw_poles(rng, book["voiced"], book["khz"], L)
        lsf = lsf_from_poles(poles, L)
        if lsf is None:
            continue
        # Pull part of the way towards vector 0, so that the set runs from
        # near-average spectra to strongly resonant ones.
        pull = rng.uniform(0.35, 1.0)
        v = [f0 + pull * (w / math.pi * 32768 - f0) for f0, w in zip(fixed0, lsf)]
        vectors.append(clamp_vector([int(round(x)) for x in v], book["spacing"]))
    vectors.sort(key=lambda v: (sum((a - b) ** 2 for a, b in zip(v, fixed0)), v))
    return [fixed0] + vectors


def correction_vector(rng, L, peak):
    modes = [rng.uniform(-1, 1) / (m ** 0.8) for m in range(1, 6)]
    offset = rng.uniform(-0.3, 0.3)
    v = [offset + sum(c * math.cos(math.pi * m * (i + 0.5) / L) for m, c in enumerate(modes, 1))
         for i in range(L)]
    top = max(abs(x) for x in v)
    return [int(round(x * peak / top)) for x in v]


def stage_probability_order(cdf):
    """Symbols of a stage, most probable first."""
    widths = [cdf[i + 1] - cdf[i] for i in range(len(cdf) - 1)]
    return sorted(range(len(widths)), key=lambda i: (-widths[i], i))


def later_stage_vectors(book, stage, cdf, rng):
    L = book["order"]
    count = book["counts"][stage]
    peak = 1150.0 * 0.78 ** (stage - 1)
    fixed = {v: book["fixed"][(s, v)] for (s, v) in book["fixed"] if s == stage}
    draws = []
    for k in range(count - len(fixed)):
        # Sizes spread from a near-zero correction up to the stage's peak.
        size = peak * (0.12 + 0.88 * (k + 1) / (count - len(fixed)))
        draws.append(correction_vector(rng, L, min(size, NLSF_CORRECTION_MAX)))
    draws.sort(key=lambda v: (sum(x * x for x in v), v))
    slots = [i for i in stage_probability_order(cdf) if i not in fixed]
    out = [None] * count
    for i, v in fixed.items():
        out[i] = v
    for i, v in zip(slots, draws):
        out[i] = v
    return out


def nlsf_book(book, voiced10_stage0_cdf):
    rng = Rng(0x5EED0000 + book["order"] * 2 + (0 if book["voiced"] else 1))
    cdfs = []
    for s, count in enumerate(book["counts"]):
        start = book["starts"][s]
        if s == 0 and book["head"] is not None:
            cdfs.append(fill_partial_cdf(count + 1, book["head"], book["tail"], start))
        elif s == 0:
            cdfs.append(warped_cdf(voiced10_stage0_cdf, count, start))
        else:
            cdfs.append(tilted_gaussian_cdf(count, start))
    vectors = [stage0_vectors(book, rng)]
    for s in range(1, len(book["counts"])):
        vectors.append(later_stage_vectors(book, s, cdfs[s], rng))
    flat_cdf = [x for c in cdfs for x in c]
    flat_vec = [x for stage in vectors for v in stage for x in v]
    return flat_cdf, flat_vec


# ---------------------------------------------------------------------------
# LTP codebooks.
# ---------------------------------------------------------------------------

LTP_RANGES = [  # gain, largest delay (taps), bandwidth (fraction of Nyquist)
    dict(gain=(0.10, 0.55), delay=1.5, band=(0.40, 0.85)),
    dict(gain=(0.35, 0.85), delay=1.3, band=(0.50, 0.95)),
    dict(gain=(0.55, 0.97), delay=1.9, band=(0.65, 1.00)),
]


def ltp_row(gain, delay, band):
    taps = []
    for k in range(5):
        x = k - 2 - delay
        s = band * (1.0 if x == 0 else math.sin(math.pi * band * x) / (math.pi * band * x))
        w = 0.5 + 0.5 * math.cos(math.pi * x / 3.5) if abs(x) < 3.5 else 0.0
        taps.append(s * w)
    total = sum(taps)
    return [int(round(16384 * gain * t / total)) for t in taps]


def ltp_codebook(cb):
    rows = LTP_ROWS[cb]
    fixed = LTP_FIXED[cb]
    rng = LTP_RANGES[cb]
    params = []
    for i in range(1, rows - len(fixed) + 1):
        g = rng["gain"][0] + (rng["gain"][1] - rng["gain"][0]) * halton(i + 7 * cb, 2)
        u = 2.0 * halton(i + 7 * cb, 3) - 1.0
        d = rng["delay"] * u * u * u  # delays cluster near the middle tap
        b = rng["band"][0] + (rng["band"][1] - rng["band"][0]) * halton(i + 7 * cb, 5)
        params.append((abs(d), d, g, b))
    params.sort()
    generated = [ltp_row(g, d, b) for _, d, g, b in params]
    out = []
    it = iter(generated)
    for r in range(rows):
        out += fixed[r] if r in fixed else next(it)
    return out


# ---------------------------------------------------------------------------
# Interpolation kernel.
# ---------------------------------------------------------------------------

def bessel_i0(x):
    total = term = 1.0
    for k in range(1, 40):
        term *= (x / (2.0 * k)) ** 2
        total += term
    return total


def kaiser_sinc(u, gain, band, half, beta):
    if abs(u) >= half:
        return 0.0
    x = band * u
    s = 1.0 if x == 0 else math.sin(math.pi * x) / (math.pi * x)
    return gain * s * bessel_i0(beta * math.sqrt(1 - (u / half) ** 2)) / bessel_i0(beta)


def kernel_position(r, j):
    """Distance from the kernel centre of the tap T[r][2 - j]."""
    return j + (r + 0.5) / 144.0


def fit_kernel():
    points = [(kernel_position(r, j), row[2 - j]) for r, row in INTERP_FIXED.items()
              for j in range(3)]

    def err(p):
        if p[2] < 3.05:  # the fixed taps at distance 3 are non-zero
            return float("inf")
        return sum((kaiser_sinc(u, *p) - v) ** 2 for u, v in points)

    p = [30000.0, 0.93, 3.5, 4.0]
    steps = [500.0, 0.02, 0.2, 0.5]
    best = err(p)
    for _ in range(400):  # coordinate search with shrinking steps
        improved = False
        for k in range(4):
            for sign in (1, -1):
                q = list(p)
                q[k] += sign * steps[k]
                e = err(q)
                if e < best:
                    best, p, improved = e, q, True
        if not improved:
            steps = [s / 2 for s in steps]
            if steps[0] < 1e-6:
                break
    return p


def pchip(xs, ys, x):
    """Shape-preserving piecewise cubic through (xs, ys); linear beyond the ends."""
    n = len(xs)
    h = [xs[i + 1] - xs[i] for i in range(n - 1)]
    d = [(ys[i + 1] - ys[i]) / h[i] for i in range(n - 1)]
    m = [0.0] * n
    m[0], m[-1] = d[0], d[-1]
    for i in range(1, n - 1):
        if d[i - 1] * d[i] <= 0:
            m[i] = 0.0
        else:
            w1, w2 = 2 * h[i] + h[i - 1], h[i] + 2 * h[i - 1]
            m[i] = (w1 + w2) / (w1 / d[i - 1] + w2 / d[i])
    if x <= xs[0]:
        return ys[0] + m[0] * (x - xs[0]), m[0]
    if x >= xs[-1]:
        return ys[-1] + m[-1] * (x - xs[-1]), m[-1]
    for i in range(n - 1):
        if xs[i] <= x <= xs[i + 1]:
            eps = 1e-6
            v = hermite(x, xs[i], ys[i], m[i], xs[i + 1], ys[i + 1], m[i + 1])
            v2 = hermite(x + eps, xs[i], ys[i], m[i], xs[i + 1], ys[i + 1], m[i + 1])
            return v, (v2 - v) / eps
    raise AssertionError("unreachable")


def residual_curve(clusters, tau=6.0):
    """Smooth curve through clusters of (row, residual) samples.

    A shape-preserving cubic runs through the cluster means; around each
    cluster a local term, fading within a few rows, gives the curve the
    cluster's own slope.
    """
    centres = [sum(r for r, _ in c) / len(c) for c in clusters]
    means = [sum(e for _, e in c) / len(c) for c in clusters]
    slopes = []
    for c, rc in zip(clusters, centres):
        num = sum((r - rc) * e for r, e in c)
        den = sum((r - rc) ** 2 for r, _ in c)
        local = num / den if den else 0.0
        slopes.append(local - pchip(centres, means, rc)[1])

    def curve(r):
        v = pchip(centres, means, r)[0]
        for rc, s in zip(centres, slopes):
            v += s * (r - rc) * math.exp(-((r - rc) / tau) ** 2)
        return v
    return curve


def interp_table():
    params = fit_kernel()
    groups = [(0, 1, 2), (71, 72), (142, 143)]
    rows = [[0.0, 0.0, 0.0] for _ in range(144)]
    for j in range(3):
        clusters = [[(r, INTERP_FIXED[r][2 - j] - kaiser_sinc(kernel_position(r, j), *params))
                     for r in g] for g in groups]
        curve = residual_curve(clusters)
        for r in range(144):
            rows[r][2 - j] = kaiser_sinc(kernel_position(r, j), *params) + curve(r)

    def dc(r):
        return sum(rows[r]) + sum(rows[143 - r])

    # DC gain of every phase: linear in the phase index between the fixed phases.
    fixed_dc = {r: sum(INTERP_FIXED[r]) + sum(INTERP_FIXED[143 - r]) for r in (0, 1, 71)}

    def target(r):
        r = min(r, 143 - r)
        if r <= 1:
            return fixed_dc[r]
        return fixed_dc[1] + (fixed_dc[71] - fixed_dc[1]) * (r - 1) / 70.0

    for r in range(2, 72):
        partner = 143 - r
        if r in INTERP_FIXED and partner in INTERP_FIXED:
            continue
        if r in INTERP_FIXED:  # only the partner row is free
            free = sum(rows[partner])
            f = (target(r) - sum(rows[r])) / free
            rows[partner] = [x * f for x in rows[partner]]
        else:
            f = target(r) / dc(r)
            rows[r] = [x * f for x in rows[r]]
            rows[partner] = [x * f for x in rows[partner]]

    out = [[int(round(x)) for x in row] for row in rows]
    for r, row in INTERP_FIXED.items():
        out[r] = list(row)
    # Rounding may leave a phase a unit or two off its gain: settle it on the
    # largest free tap.
    for r in range(2, 72):
        partner = 143 - r
        if r in INTERP_FIXED and partner in INTERP_FIXED:
            continue
        want = int(round(target(r)))
        have = sum(out[r]) + sum(out[partner])
        free = partner if r in INTERP_FIXED else r
        k = max(range(3), key=lambda i: abs(out[free][i]))
        out[free][k] += want - have
    return [x for row in out for x in row]


# ---------------------------------------------------------------------------
# Output.
# ---------------------------------------------------------------------------

def build_tables():
    tables = []
    tables.append(("gain_cdf_voiced",
                   fill_partial_cdf(65, GAIN_VOICED_HEAD, GAIN_VOICED_TAIL, GAIN_START)))
    tables.append(("gain_cdf_unvoiced",
                   fill_partial_cdf(65, GAIN_UNVOICED_HEAD, GAIN_UNVOICED_TAIL, GAIN_START)))
    for name, entries, start, head, tail in PITCH:
        tables.append(("pitch_lag_cdf_" + name, fill_partial_cdf(entries, head, tail, start)))
    for cb in range(3):
        tables.append(("ltp_codebook_%d" % cb, ltp_codebook(cb)))
    pulses = list(PULSE_ROW0)
    for row in pulse_count_rows():
        pulses += row
    pulses += PULSE_ROW9
    tables.append(("pulse_count_cdf", pulses))
    tables.append(("shell_cdf_t2", shell_table(SHELL_T2_HEAD, 12, 8)))
    tables.append(("shell_cdf_t3", shell_table(SHELL_T3_HEAD, 18, 12)))
    voiced10_stage0 = None
    for book in NLSF_BOOKS:
        cdf, vec = nlsf_book(book, voiced10_stage0)
        if book["name"] == "voiced10":
            voiced10_stage0 = cdf[:book["counts"][0] + 1]
        tables.append(("nlsf_cdf_" + book["name"], cdf))
        tables.append(("nlsf_vectors_" + book["name"], vec))
    tables.append(("resampler_interp_144", interp_table()))
    return tables


HEADER = """\
# Statistical tables of the Tavimo SILK decoder.
#
# These are the project's own values, made by tools/gen_trained_tables.py from
# smooth models around the entries that the bitstream format fixes. A stream
# whose encoder used other tables decodes differently. Do not edit by hand;
# regenerate with
#
#     python3 tools/gen_trained_tables.py
#
# The build compiles this file into the decoder (tools/embed_tables.cpp).
# Format: '#' starts a comment; "[name]" starts a table; values are decimal
# integers separated by whitespace or commas. Multi-dimensional tables are
# row-major.
"""

COMMENTS = {
    "gain_cdf_voiced": "first gain index of a packet, voiced frames (64 symbols)",
    "gain_cdf_unvoiced": "first gain index of a packet, unvoiced frames (64 symbols)",
    "pitch_lag_cdf_8k": "pitch lag index at 8 kHz (129 symbols)",
    "pitch_lag_cdf_12k": "pitch lag index at 12 kHz (193 symbols)",
    "pitch_lag_cdf_16k": "pitch lag index at 16 kHz (257 symbols)",
    "pitch_lag_cdf_24k": "pitch lag index at 24 kHz (385 symbols)",
    "ltp_codebook_0": "LTP taps, low periodicity: 10 rows of 5, Q14",
    "ltp_codebook_1": "LTP taps, medium periodicity: 20 rows of 5, Q14",
    "ltp_codebook_2": "LTP taps, high periodicity: 40 rows of 5, Q14",
    "pulse_count_cdf": "pulses per block: rate levels 0..8, then the row after an escape; 21 each",
    "shell_cdf_t2": "left-half pulse count of an 8-sample half, parents 1..12",
    "shell_cdf_t3": "left-half pulse count of a 16-sample block, parents 1..18",
    "nlsf_cdf_voiced10": "order 10 voiced NLSF stages: 64, 16, 8, 8, 8, 16 symbols",
    "nlsf_vectors_voiced10": "order 10 voiced NLSF vectors, stage by stage, Q15",
    "nlsf_cdf_unvoiced10": "order 10 unvoiced NLSF stages: 32, 8, 8, 8, 8, 8 symbols",
    "nlsf_vectors_unvoiced10": "order 10 unvoiced NLSF vectors, stage by stage, Q15",
    "nlsf_cdf_voiced16": "order 16 voiced NLSF stages: 128, 16, 8 x 7, 16 symbols",
    "nlsf_vectors_voiced16": "order 16 voiced NLSF vectors, stage by stage, Q15",
    "nlsf_cdf_unvoiced16": "order 16 unvoiced NLSF stages: 32, then 8 x 9 symbols",
    "nlsf_vectors_unvoiced16": "order 16 unvoiced NLSF vectors, stage by stage, Q15",
    "resampler_interp_144": "6-tap interpolation kernel, 144 phases of 3 taps, Q15",
}

def row_lengths(name, count):
    """How the values of a table are broken into lines: one row per line."""
    fixed = {"ltp_codebook": 5, "pulse_count_cdf": 21, "resampler_interp_144": 3}
    for prefix, width in fixed.items():
        if name.startswith(prefix):
            return [width] * (count // width)
    if name.startswith("shell_cdf_"):
        parents = 12 if name.endswith("t2") else 18
        return [p + 2 for p in range(1, parents + 1)]
    for book in NLSF_BOOKS:
        if name == "nlsf_cdf_" + book["name"]:
            return [c + 1 for c in book["counts"]]
        if name == "nlsf_vectors_" + book["name"]:
            return [book["order"]] * (count // book["order"])
    return [16] * (count // 16) + ([count % 16] if count % 16 else [])


def wrap(values, width=16):
    return [" ".join(str(v) for v in values[i:i + width]) for i in range(0, len(values), width)]


def render(tables):
    lines = [HEADER]
    for name, values in tables:
        lines.append("# " + COMMENTS[name])
        lines.append("[%s]" % name)
        pos = 0
        for n in row_lengths(name, len(values)):
            lines += wrap(values[pos:pos + n], 22)
            pos += n
        assert pos == len(values), name
        lines.append("")
    return "\n".join(lines)


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_path = argv[1] if len(argv) > 1 else os.path.join(root, "silk", "data", "trained_tables.txt")
    text = render(build_tables())
    with open(out_path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
