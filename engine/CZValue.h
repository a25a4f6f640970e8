#pragma once
// CZValue: the engine's distribution calculator.
//
// Tail probabilities of the standard normal, Student's t, chi-square and F
// distributions (Quorb_CalcProb), their inverses (Quorb_FindValue), the
// Kolmogorov-Smirnov tail probability, binomial coefficients, Poisson
// probabilities and logarithms of factorials.
//
// Distribution codes, compared without regard to case:
//   "Z"  central area P(-x < Z < x) of the standard normal (no df)
//   "T"  two-tailed P(|T| >= |x|) of Student's t with df1
//   "C"  upper tail P(X >= x) of chi-square with df1
//   "F"  upper tail P(F >= |x|) with df1 (numerator) and df2 (denominator)
// Any other code gives 0.
//
// ln Gamma is Lanczos' approximation; the incomplete gamma and beta functions
// are the series and continued-fraction evaluations, with the constants,
// tolerances (3e-7 for gamma, 1e-10 for beta) and iteration limits below; the
// inverse is the Illinois variant of regula falsi, on an interval widened by
// steps that double until it holds the root. The sums and differences
// that lose digits go through the scaled decimal type (dao::Decimal).
//
// Tail probabilities and ln Gamma once worked out are remembered (a small
// table for each thread, by the exact bits of the arguments), since the
// analyses ask for the same ones again and again: the answer is the one the
// arithmetic gives, only not worked out twice.
//
// Failures: a run-time error (overflow, division by zero, logarithm of a
// number that is not positive) makes Quorb_CalcProb, Quorb_FindValue and
// Quorb_CalcKSProb return 0; no message is shown. Quorb_Binomial and
// Quorb_Poisson throw RunTimeError to their caller instead.
#include <cstdint>
#include <string>
#include <vector>

class CZValue {
public:
    CZValue() = default;

    // Binomial coefficient C(n, k) as a double (not rounded to an integer).
    // Needs Quorb_FactorialInit first (RunTimeError 9 otherwise).
    double Quorb_Binomial(std::int32_t n, std::int32_t k);
    // Kolmogorov-Smirnov tail probability Q(z) = P(K > z) of the limiting
    // Kolmogorov distribution.
    double Quorb_CalcKSProb(double z);
    // Probability of the code's tail at x (table above).
    double Quorb_CalcProb(const std::string& code, double x, double df1 = 0.0, double df2 = 0.0);
    // Creates the ln-factorial table anew; call before the first
    // Quorb_Binomial or Quorb_Poisson.
    void Quorb_FactorialInit();
    // The x for which Quorb_CalcProb(code, x, df1, df2) equals p; strict
    // selects the tighter tolerance on the probability (2e-15 instead of
    // 1e-12; a millionth of p where that is less). "Z" inverts the central
    // area: Quorb_FindValue("Z", 0.95, 0, 0, true) is about 1.959964.
    // p outside (0, 1), an unknown code, degrees of freedom of 0 or below,
    // and a search that does not settle give 0.
    double Quorb_FindValue(const std::string& code, double p, double df1, double df2, bool strict);
    // Poisson probability P(X = k) for the mean lambda; lnLambda is ln(lambda),
    // computed once by the caller for a series of k. Needs Quorb_FactorialInit.
    double Quorb_Poisson(double lambda, double lnLambda, std::int32_t k);

    // Limits of the search in Quorb_FindValue: steps of the starting
    // interval (each twice the one before), and interpolation passes.
    static constexpr long MaxIntervalSteps = 1100;
    static constexpr long MaxSearchPasses = 100000;

private:
    // Quorb_CalcProb's work for a known code (upper case), not remembered.
    double CalcProb(char code, double x, double df1, double df2);
    // The two-tailed t probability where x^2 is beyond a double.
    double FarTTail(double x, double df);
    double BetaCF(double a, double b, double x, int maxSteps);
    // I_x(a, b); y is 1 - x as the caller has it, without the digits that
    // 1 - x loses when x is near 1.
    double BetaI(double a, double b, double x, double y);
    double GammaLn(double xx); // remembered
    double GammaLnOf(double xx);
    double GammaQ(double a, double x);
    double GammaCF(double a, double x);
    double GammaSer(double a, double x);
    double FactLn(std::int32_t n);
    double NormalArea(double x);

    // Slot k holds ln((k-1)!); slots 1 .. m_factCount + 1 are filled. Empty
    // until Quorb_FactorialInit.
    std::vector<double> m_factTable;
    std::int16_t m_factCount = 0;
};
