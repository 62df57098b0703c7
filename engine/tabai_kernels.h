// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The kernels under TSeisu (engine/tabai.h): arithmetic on bare limb arrays. They know
// nothing of TSeisu; it calls down into them, never the other way.
//
// Every array here is 0-based, least significant limb first, base 10000 in 16-bit words
// (TSeisu's limb i is array element i - 1). Lengths are limb counts; an input may carry
// leading zero limbs unless a function says otherwise. Output arrays never overlap inputs.
// The schoolbook kernels stay callable so that tests can compare the fast paths with them.
//
// Kept twice on purpose, for speed (a shared template or callback costs the inner loops
// their vectorisation or a call per element): AddN/SubN (tabai_mul.cpp), LongAdd/LongSub
// (tabai.cpp), the last butterfly levels ForwardTail/InverseHead (tabai_ntt.cpp) and
// ForwardShape/InverseShape (tabai_fft.cpp), whose steps run in opposite orders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The innermost loops vectorise well; where the compiler and the C library allow, they
// are compiled for several instruction sets and the best is chosen when the program starts.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_ADDRESS__)
#define TABAI_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define TABAI_CLONES
#endif

namespace tabai_kernels {

using Limb = uint16_t;
inline constexpr uint32_t kBase = 10000;

/// A temporary array of n elements, on the stack up to kStack of them.
template <typename T, size_t kStack>
class StackBuffer {
public:
    explicit StackBuffer(size_t n) {
        if (n > kStack) {
            heap_.resize(n);
            p_ = heap_.data();
        }
    }
    StackBuffer(const StackBuffer&) = delete;
    StackBuffer& operator=(const StackBuffer&) = delete;
    T* get() { return p_; }

private:
    T stack_[kStack];
    std::vector<T> heap_;
    T* p_ = stack_;
};

/// Length of a without its leading zero limbs.
inline size_t Trim(const Limb* a, size_t n) {
    while (n > 0 && a[n - 1] == 0) --n;
    return n;
}

/// -1, 0 or 1 as a < b, a = b, a > b, both n limbs long.
int CompareN(const Limb* a, const Limb* b, size_t n);

/// out[0..n) := a + b (base 10000), returns the carry out (0 or 1); out may be a or b.
uint32_t AddN(const Limb* a, const Limb* b, size_t n, Limb* out);
/// out[0..n) := a - b (base 10000), returns the borrow out (0 or 1); out may be a or b.
uint32_t SubN(const Limb* a, const Limb* b, size_t n, Limb* out);

/// out[0..na+nb) := a * b by the schoolbook method; calls pump::ProcessMessages() once
/// per limb of b. na, nb >= 1.
void MulSchool(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out);
/// out[0..2n) := a * a by the schoolbook method (half the products); pumps once per limb.
void SqrSchool(const Limb* a, size_t n, Limb* out);
/// Base 10^16: four limbs in one 64-bit word, least significant first.
inline constexpr uint64_t kWordBase = 10000000000000000ull;
/// Returns s div 10^16 and sets rem := s mod 10^16. The compiler turns a 128-bit division
/// into a library call; two 64-bit steps are several times cheaper, and on x86-64 the
/// second is the one instruction that divides 128 bits by 64.
inline unsigned __int128 DivModWord(unsigned __int128 s, uint64_t& rem) {
    const uint64_t hi = static_cast<uint64_t>(s >> 64), lo = static_cast<uint64_t>(s);
    const uint64_t qh = hi / kWordBase, r = hi % kWordBase;
#if defined(__GNUC__) && defined(__x86_64__)
    uint64_t ql;
    // r < 10^16, so the quotient fits 64 bits.
    asm("divq %4" : "=a"(ql), "=d"(rem) : "a"(lo), "d"(r), "r"(kWordBase));
#else
    const unsigned __int128 t = (static_cast<unsigned __int128>(r) << 64) | lo;
    const uint64_t ql = static_cast<uint64_t>(t / kWordBase);
    rem = static_cast<uint64_t>(t - static_cast<unsigned __int128>(ql) * kWordBase);
#endif
    return (static_cast<unsigned __int128>(qh) << 64) | ql;
}
/// w[0..ceil(n/4)) := the limbs a[0..n) packed four to a word; returns the word count.
size_t PackWords(const Limb* a, size_t n, uint64_t* w);
/// a[0..n) := the limbs of the words w[0..nw) (zero beyond them; extra high limbs dropped).
void UnpackWords(const uint64_t* w, size_t nw, Limb* a, size_t n);
/// out[0..na+nb) := a * b in base 10^16, word columns summed in 128 bits; calls the pump
/// `pumps` times spread over the work (more for very long factors, at least once every
/// 2^14 columns). na, nb >= 1, min(na, nb) below 2^20.
void MulWords(const uint64_t* a, size_t na, const uint64_t* b, size_t nb, uint64_t* out, size_t pumps);
/// Columns from..to-1 of a * b into out[0..to-from), as if nothing came from the columns
/// below (carry 0), returning the carry out of the last; pumps like MulWords.
unsigned __int128 MulWordsColumns(const uint64_t* a, size_t na, const uint64_t* b, size_t nb, size_t from,
                                  size_t to, uint64_t* out, size_t pumps);
/// out[0..na+nb-from) := floor(a * b / 10000^from) or one less (a short product: the low
/// columns that cannot reach limb `from` by a whole unit are left out). from < na + nb.
void MulHigh(const Limb* a, size_t na, const Limb* b, size_t nb, size_t from, Limb* out);
/// out[0..len) := a * b mod 10000^len on packed words, only the products that reach those
/// limbs (a short product: about half the work when len is half the product's length).
void MulLow(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* out);
/// out[0..2n) := a * a in base 10^16 (half the products), pumping like MulWords.
void SqrWords(const uint64_t* a, size_t n, uint64_t* out, size_t pumps);
/// out[0..na+nb) := a * b on packed words (the quadratic method MulSchool checks); pumps
/// once per limb of b.
void MulBasecase(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out);
/// out[0..2n) := a * a on packed words; pumps once per limb.
void SqrBasecase(const Limb* a, size_t n, Limb* out);
/// Whether the processor has the 52-bit multiply-add vectors (AVX-512 IFMA) that
/// MulBasecase52 needs; MulBasecase and SqrBasecase take them when Tuning::wideVectors
/// allows (the words of 16 digits are the portable path).
bool HasMul52();
/// out[0..na+nb) := a * b on words of 12 digits, eight word products an instruction;
/// requires HasMul52() (falls back to MulSchool where it cannot be compiled) and
/// min(na, nb) <= 6144. Pumps about once per limb of b.
void MulBasecase52(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out);
/// out[0..2n) := a * a the same way (the products off the diagonal once); n <= 6144.
void SqrBasecase52(const Limb* a, size_t n, Limb* out);
/// Whether the processor has AVX2, whose 32-bit widening products MulBasecaseAvx2 takes;
/// MulBasecase, SqrBasecase, MulLow and MulHigh take them without the 52-bit vectors,
/// when Tuning::wideVectors allows.
bool HasAvx2();
/// The same products on words of 8 digits, four word products an instruction, each column
/// summed in 64 bits; require HasAvx2() (fall back to the schoolbook or the packed words
/// where they cannot be compiled) and a shorter factor of at most kAvx2MaxLimbs (a
/// column's sum of 1792 products below 10^16 stays below 2^64).
inline constexpr size_t kAvx2MaxLimbs = 3584;
void MulBasecaseAvx2(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out);
void SqrBasecaseAvx2(const Limb* a, size_t n, Limb* out);
void MulLowAvx2(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* out);
void MulHighAvx2(const Limb* a, size_t na, const Limb* b, size_t nb, size_t from, Limb* out);
/// out[0..na+nb) := a * b by Karatsuba above its threshold (schoolbook below).
void MulKaratsuba(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out);
/// out[0..na+nb) := a * b through number-theoretic transforms (any sizes it can hold).
void MulNtt(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out);
/// out[0..2n) := a * a through number-theoretic transforms.
void SqrNtt(const Limb* a, size_t n, Limb* out);
/// Whether MulFft holds a product of na x nb limbs exactly (its rounding error bound for
/// the worst operands stays below a quarter).
bool FftFits(size_t na, size_t nb);
/// Whether MulFft holds the product of these very operands exactly (b null: a squared,
/// nb = na): the same bound taken with the operands' own norms instead of the worst
/// ones. Random digits have about a third of the worst norm, so products about three
/// times as long fit (factors of a million digits); the worst operands go on to MulNtt.
bool FftFitsOperands(const Limb* a, size_t na, const Limb* b, size_t nb);
/// The largest error (in either part) of the twiddles in the floating transform's tables
/// for a transform of at least `points` complex points, against the exact values; the
/// rounding bound behind FftFits allows 2^-52.
double FftTwiddleError(size_t points);
/// out[0..na+nb) := a * b through a double-precision complex transform; requires
/// FftFits(na, nb) or FftFitsOperands. Pumps regularly.
void MulFft(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out);
/// out[0..2n) := a * a the same way; requires FftFits(n, n) or FftFitsOperands(a, n, null, n).
void SqrFft(const Limb* a, size_t n, Limb* out);
/// Whether MulFftCyclic holds every product for minLen.
bool FftCyclicFits(size_t minLen);
/// The length MulFftCyclic uses for minLen (a transform length, one limb a point).
size_t FftCyclicLength(size_t minLen);
/// out[0..L) := a * b mod (10000^L - 1) for L = FftCyclicLength(minLen), like MulNttCyclic;
/// requires FftCyclicFits(minLen) and na, nb <= L. Returns L.
size_t MulFftCyclic(const Limb* a, size_t na, const Limb* b, size_t nb, size_t minLen, Limb* out);
/// The cyclic product by whichever transform suits minLen, and its length.
size_t MulCyclic(const Limb* a, size_t na, const Limb* b, size_t nb, size_t minLen, Limb* out);
size_t CyclicLength(size_t minLen);
/// For a product of na x nb limbs handed to the modular transforms: when it is longer than
/// any MulFft takes, the calculation has outgrown the floating transform, and its twiddle
/// tables are freed (unless a product is using them; they are made again when needed).
void FftReleaseTablesPast(size_t na, size_t nb);
/// The bytes the floating transform's twiddle tables hold now.
size_t FftTableBytes();
/// out[0..na+nb) := a * b by whichever transform suits the size (MulFft or MulNtt).
void MulTransform(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out);
/// out[0..2n) := a * a by whichever transform suits the size.
void SqrTransform(const Limb* a, size_t n, Limb* out);
/// out[0..L) := a * b mod (10000^L - 1) for L = NttCyclicLength(minLen) >= minLen (twice
/// a transform length); requires na, nb <= L. Returns L. (10000^L - 1 may stand for 0.)
size_t MulNttCyclic(const Limb* a, size_t na, const Limb* b, size_t nb, size_t minLen, Limb* out);
/// The length that MulNttCyclic uses for minLen.
size_t NttCyclicLength(size_t minLen);
/// out[0..na+nb) := a * b, choosing the method by size. Pumps regularly.
void Mul(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out);
/// out[0..2n) := a * a, choosing the method by size.
void Sqr(const Limb* a, size_t n, Limb* out);

/// A signed operand of MulPairs: limbs p[0..n), n >= 1, and its sign.
struct SignedSpan {
    const Limb* p;
    size_t n;
    bool neg;
};
/// mag := |a1 b1 + a2 b2| by the quadratic method on words, trimmed; returns whether
/// the sum is negative. Pumps about once per limb of b1 and b2.
bool MulAddWords(const SignedSpan& a1, const SignedSpan& b1, const SignedSpan& a2, const SignedSpan& b2,
                 std::vector<Limb>& mag);
/// The sum of two signed products in[a1] * in[b1] + in[a2] * in[b2].
struct ProductPair {
    int a1, b1, a2, b2;
};
/// For each of the pairs: mag[k] (trimmed) and neg[k] (false for zero) := its value, by
/// transforms, each operand transformed once and each sum transformed back once (a 2x2
/// matrix times a vector or a matrix costs half the transforms of its products apart).
/// Every product must fit one transform (na + nb <= NttMaxProduct()). Pumps regularly.
void MulPairs(const SignedSpan* in, size_t nin, const ProductPair* pairs, size_t npairs, std::vector<Limb>* mag,
              bool* neg);

/// Whether MulPairsFft holds these pairs exactly.
bool FftPairsFit(const SignedSpan* in, const ProductPair* pairs, size_t npairs);
/// MulPairs through the floating transform (each operand transformed once, each sum
/// transformed back once); requires FftPairsFit.
void MulPairsFft(const SignedSpan* in, size_t nin, const ProductPair* pairs, size_t npairs,
                 std::vector<Limb>* mag, bool* neg);

/// Largest na + nb that MulNtt handles in one transform.
size_t NttMaxProduct();

/// Long division (Knuth's algorithm D): q[0..m-n+1) := a div b, r[0..n) := a mod b.
/// Requires 2 <= n <= m and b[n-1] != 0. Pumps now and then.
void DivSchool(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r);
/// The same quotient and remainder on words of 8 digits with delayed carries (the
/// quadratic method DivSchool checks). Requires 3 <= n <= m and b[n-1] != 0. Pumps now
/// and then.
void DivBasecase(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r);
/// The same quotient and remainder, choosing the method by size (Newton reciprocal for
/// large operands). Requires 1 <= n <= m and b[n-1] != 0.
void Div(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r);
/// q[0..m-n+1) := a / b for b dividing a (1 <= n <= m, b[n-1] != 0), cheaper than Div: no
/// remainder is needed, so the quotient comes from the low end, or from the top corrected
/// by the lowest limbs. When b does not divide a, q is some number of m-n+1 limbs.
void DivExact(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q);
/// q[0..n) := a div d, returns a mod d; d in 1 .. 2^32 - 1; q may be a.
uint32_t DivSmall(const Limb* a, size_t n, uint32_t d, Limb* q);

/// q[0..len) := a / b modulo 10000^len, for b[0] odd and not a multiple of 5, in base
/// 10^16 from the low end (Hensel): column by column, each quotient word is the one that
/// makes the column's low word match a's. Only a's and b's low len limbs are read; when
/// b divides a and a / b has at most len limbs, q is the quotient. Pumps about once per
/// limb of b, and at least once every 2^14 columns.
void DivExactLow(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* q);
/// The same as DivExactLow, on words of 8 digits with delayed carries (the rows of
/// DivBasecase). Pumps now and then.
void DivExactLowWords(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* q);
/// gcd(x, y) by Lehmer's algorithm (leading zeros allowed; the result is trimmed).
/// Pumps once per pass.
std::vector<Limb> Gcd(std::vector<Limb> x, std::vector<Limb> y);
/// Gcd of two 128-bit words (Lehmer's steps, then 64 bits).
unsigned __int128 GcdU128(unsigned __int128 a, unsigned __int128 b);
/// Lehmer's matrix (a b; c d) for leading parts xh >= yh >= 0 (below 2^62) of two
/// numbers: the first steps of Euclid's algorithm that hold for every pair of numbers with
/// these leading parts, with cofactor magnitudes at most limit (b == 0: no step). The
/// gcd's inner loop, here for its tests.
struct LehmerCofactors {
    __int128 a, b, c, d;
};
LehmerCofactors LehmerLeading(int64_t xh, int64_t yh, int64_t limit);
/// (x, y) := (a x + b y, c x + d y) on words of 8 digits (least significant first, results
/// trimmed) by the gcd's pass on words, for cofactors below 10^18 (one round of Lehmer's
/// steps) or 2 * 10^36 (two rounds) whose results are not negative; with `then`, by
/// then M in one pass (cofactors below 4 * 10^54, three rounds), M and then both of
/// Euclid's sign pattern or both non-negative. Here for its tests.
void LehmerApplyWords(std::vector<uint32_t>& x, std::vector<uint32_t>& y, const LehmerCofactors& m,
                      const LehmerCofactors* then = nullptr);

/// Gcd of two machine words; gcd(a, 0) = a. Binary steps that take the smaller and the
/// difference by conditional moves: on the short, random operands of everyday lines the
/// branch of a swap is mispredicted about every other step.
inline uint64_t GcdU64(uint64_t a, uint64_t b) {
    if (a == 0 || b == 0) return a | b;
    const int shift = __builtin_ctzll(a | b);
    a >>= __builtin_ctzll(a);
    while (b != 0) {
        b >>= __builtin_ctzll(b);
        const uint64_t lo = a < b ? a : b, hi = a < b ? b : a;
        a = lo;
        b = hi - lo;
    }
    return a << shift;
}

/// The sizes (in limbs) at which the kernels change method, and two switches. The
/// defaults are measured (bench/README.md); a program sets its own once with SetTuning
/// before any calculation, tests for a scope with ScopedTuning.
struct Tuning {
    /// Karatsuba from this many limbs of the shorter factor (below: the packed basecase).
    size_t karatsuba = 250;
    /// Transforms from this many limbs of the shorter factor, for products and squares.
    /// Against the packed-word products (Zen 4, one thread) balanced products meet the
    /// floating transform at about 390 limbs (Mul also stays quadratic while na + nb is
    /// below three thresholds), squares at about 450.
    size_t ntt = 260;
    size_t sqrNtt = 450;
    /// The same for products when the quadratic ones run on 52-bit multiply-add vectors
    /// (HasMul52() and wideVectors), with Karatsuba on top of them: balanced products meet
    /// the floating transform at about 2900 limbs (11,600 digits), squares (half the
    /// products, no Karatsuba) at about 2800.
    size_t ntt52 = 1900;
    size_t sqrNtt52 = 2600;
    /// The 52-bit products split Karatsuba's way (on their column sums) while both factors
    /// have this many limbs.
    size_t karatsuba52 = 900;
    /// The same for the products on AVX2's 32-bit products (HasAvx2() without
    /// HasMul52(), and wideVectors; AMD EPYC, Zen 3, one thread), whose Karatsuba takes
    /// one level while the halves' column sums fit 64 bits (to 3688 limbs): balanced
    /// products meet the floating transform at about 1350 limbs (Mul stays quadratic while
    /// na + nb is below three thresholds), squares (one Karatsuba level from
    /// karatsubaSqrAvx2) at about 1800; the transform's lengths go in steps, so the
    /// crossings move with them.
    size_t karatsubaAvx2 = 400;
    size_t nttAvx2 = 900;
    size_t sqrNttAvx2 = 1800;
    /// Squares on AVX2 split Karatsuba's way on their column sums from this many limbs
    /// (one level, while the middle square's sums fit 64 bits: to 1844 limbs).
    size_t karatsubaSqrAvx2 = 900;
    /// Division by Newton's reciprocal from this many limbs (quotient and divisor); below,
    /// divide and conquer (2n by n digits, idle machine: level at about 16,000 digits, the
    /// reciprocal 1.3 against 1.56 of GMP's time at 20,000). Exact division takes the
    /// reciprocal from `hensel` on.
    size_t newton = 4000;
    /// Whether division by the reciprocal takes a quotient of about the divisor's length in
    /// two halves, by the reciprocal of the divisor's top half (false: in one block, by the
    /// whole divisor's reciprocal).
    bool reciprocalHalves = true;
    /// Division by divide and conquer on top of the products from this many limbs
    /// (quotient and divisor); below, the long division on 8-digit words (level at about
    /// 14,000 digits: the rows take two quotient words a pass on whole cache lines).
    size_t divideConquer = 3500;
    /// Quotient words the long division's rows take in one pass over the remainder: 2 or
    /// 4, or 0 for the processor's choice (four where AVX2 is the widest vector set, from
    /// 600 divisor words: one load and store of the remainder's words for 16 products; two
    /// on AVX-512's whole cache lines, and for shorter divisors, whose passes wait on the
    /// chain of estimates).
    size_t divPassRows = 0;
    /// Division's short products give way to transforms from this shorter factor on
    /// (short products on packed words do half a product's work, so they keep up with
    /// the transforms to longer factors than whole products do).
    size_t shortProduct = 600;
    /// Exact division works from the low end, on quadratic columns, below this many
    /// quotient or divisor limbs (the shorter of them): about half the work of one short
    /// product, against the reciprocal's several.
    size_t hensel = 3000;
    /// From this many limbs (quotient and divisor) exact division splits the quotient:
    /// the low half from the low end, the high half from the top.
    size_t exactSplit = 2000;
    /// The gcd's half-gcd recursion from this many limbs (below, Lehmer's passes on the
    /// leading 37 digits, level with it at about 12,000 digits).
    size_t halfGcd = 3000;
    /// Inside the half-gcd recursion, Lehmer's passes (building the matrix) below this
    /// many limbs: the passes on words (three rounds a pass) keep up with the recursion's
    /// products to about 7,000 digits (AVX2, fastest of four runs: a gcd of 20,000
    /// digits 1.80 -> 1.62 times GMP's time against 1200 limbs).
    size_t halfGcdBase = 1800;
    /// Whether the gcd's Lehmer passes and small matrix products work on packed words
    /// (false: on limbs and separate products, the reference).
    bool gcdWords = true;
    /// How many rounds of Lehmer's steps on the leading 37 digits those passes take, 1 to
    /// 3 (cofactors below 10^18, 2 * 10^36, 4 * 10^54: three, five, seven words), where
    /// the vector pass takes more than three words.
    size_t gcdRounds = 3;
    /// ... while the larger number has more than this many limbs (below, the rounds'
    /// matrices on the top words cost more than the shorter passes save).
    size_t gcdRoundsFrom = 200;
    /// Whether large transforms may use a second thread.
    bool nttParallel = true;
    /// Whether the long division's rows, the quadratic products and the gcd's passes use
    /// the widest vector instructions the processor has (false: the portable loops, the
    /// reference).
    bool wideVectors = true;
};

namespace detail {
inline Tuning gTuning;
}  // namespace detail

/// The thresholds in force.
inline const Tuning& CurrentTuning() { return detail::gTuning; }
/// Sets the thresholds for the process; only while no calculation runs (the transforms'
/// helper threads read them).
inline void SetTuning(const Tuning& t) { detail::gTuning = t; }

/// Sets thresholds for its lifetime and restores the ones before when it ends (tests).
class ScopedTuning {
public:
    explicit ScopedTuning(const Tuning& t) : saved_(CurrentTuning()) { SetTuning(t); }
    ScopedTuning(const ScopedTuning&) = delete;
    ScopedTuning& operator=(const ScopedTuning&) = delete;
    ~ScopedTuning() { SetTuning(saved_); }

private:
    Tuning saved_;
};

}  // namespace tabai_kernels
