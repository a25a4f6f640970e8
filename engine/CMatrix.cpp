#include "engine/CMatrix.h"

#include "db/Decimal.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"

#include <cmath>
#include <utility>

using dao::DecSub;

// ---- Array2D --------------------------------------------------------------

CMatrix::Array2D::Array2D(int upperRow, int upperCol) { ReDim(upperRow, upperCol); }

void CMatrix::Array2D::ReDim(int upperRow, int upperCol) {
    if (upperRow < 0 || upperCol < 0)
        throw RunTimeError(rterr::SubscriptOutOfRange);
    m_rows = upperRow + 1;
    m_cols = upperCol + 1;
    m_data.assign(static_cast<std::size_t>(m_rows) * static_cast<std::size_t>(m_cols), 0.0);
}

std::size_t CMatrix::Array2D::Index(int row, int col) const {
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        throw RunTimeError(rterr::SubscriptOutOfRange);
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(m_cols) + static_cast<std::size_t>(col);
}

double& CMatrix::Array2D::operator()(int row, int col) { return m_data[Index(row, col)]; }

double CMatrix::Array2D::operator()(int row, int col) const { return m_data[Index(row, col)]; }

// ---- CMatrix --------------------------------------------------------------

namespace {
// x - y*z: the product in double precision, the difference in decimal.
double SubProduct(double x, double y, double z) { return DecSub(x, y * z); }

double ClearSmall(double v) { return std::fabs(v) < CMatrix::Tolerance ? 0.0 : v; }

// C++ does not trap: an infinite or undefined product is the overflow error.
double Chk(double v) {
    if (!std::isfinite(v))
        throw RunTimeError(rterr::Overflow);
    return v;
}
} // namespace

bool CMatrix::Quorb_GaussJordan_b(std::int16_t n, std::int16_t m, Array2D& A, Array2D& B, RunContext* engine) {
    ProcGuard proc(gEngineErr, "CMatrix:Quorb_GaussJordan_b");
    bool result = false;
    try {
        m_engine = engine;
        bool ok = true;

        // Forward elimination.
        for (int i = 1; i <= n && ok; ++i) {
            const int k = i;
            if (std::fabs(A(i, k)) < Tolerance) {
                int j = i + 1;
                while (j <= n && !(std::fabs(A(j, k)) > Tolerance))
                    ++j;
                if (j > n) {
                    ok = false;
                    break;
                }
                SwitchRows(i, j, m, A, B);
            }

            const double r = Chk(1.0 / A(i, k));
            for (int c = k; c <= m; ++c)
                A(i, c) = Chk(A(i, c) * r);
            for (int c = 1; c <= n; ++c)
                B(i, c) = Chk(B(i, c) * r);

            for (int row = i + 1; row <= n; ++row) {
                const double f = A(row, k);
                for (int c = k; c <= m; ++c)
                    A(row, c) = ClearSmall(SubProduct(A(row, c), A(i, c), f));
                for (int c = 1; c <= n; ++c)
                    B(row, c) = ClearSmall(SubProduct(B(row, c), B(i, c), f));
            }
        }

        // Back substitution.
        if (ok) {
            for (int i = n; i >= 1; --i) {
                const int k = i;
                for (int row = 1; row <= i - 1; ++row) {
                    for (int c = 1; c <= n; ++c)
                        B(row, c) = SubProduct(B(row, c), B(i, c), A(row, k));
                    A(row, m) = SubProduct(A(row, m), A(row, k), A(i, m));
                    A(row, k) = 0.0;
                }
            }
        }
        result = ok;
    } catch (...) {
        proc.HandleError();
        result = false;
    }
    return result;
}

void CMatrix::SwitchRows(int row1, int row2, int columns, Array2D& A, Array2D& B) {
    for (int c = 1; c <= columns; ++c) {
        std::swap(A(row1, c), A(row2, c));
        std::swap(B(row1, c), B(row2, c));
    }
}
