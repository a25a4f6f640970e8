#pragma once
// CMatrix: solves a system of linear equations by Gauss-Jordan elimination
// and, in the same pass, turns a second matrix that starts as the identity
// into the inverse of the coefficient block.
//
// The regressions pass their weighted normal equations (right-hand side in
// column m); the N-way analysis of variance passes a square matrix (m = n)
// and reads only the inverse. Rows and columns are 1-based: row 0 and column
// 0 of the arrays are never touched.
//
// Pivoting takes the first row below whose entry exceeds the tolerance 1e-14
// (absolute), not the largest one. Every update x - y*z forms the product in
// double precision and the difference in the scaled decimal type.
#include <cstdint>
#include <vector>

class RunContext;

class CMatrix {
public:
    // A two-dimensional array of doubles with rows 0 .. UBound1() and
    // columns 0 .. UBound2(), zero-filled, the first subscript the row. An
    // index outside the bounds raises RunTimeError 9 (Subscript out of range).
    class Array2D {
    public:
        Array2D() = default;
        Array2D(int upperRow, int upperCol);
        // Re-creates the array with the new bounds, all zero.
        void ReDim(int upperRow, int upperCol);

        int UBound1() const noexcept { return m_rows - 1; }
        int UBound2() const noexcept { return m_cols - 1; }

        double& operator()(int row, int col);
        double operator()(int row, int col) const;

    private:
        std::size_t Index(int row, int col) const;
        int m_rows = 0;
        int m_cols = 0;
        std::vector<double> m_data;
    };

    static constexpr double Tolerance = 1e-14;

    // Solves the n equations in A(1..n, 1..n) with the right-hand side in
    // column m (m >= n), applying every row operation to B as well. B starts
    // as the identity in its first n columns and must be at least m columns
    // wide (rows are exchanged over columns 1 .. m of both). On success A(r, m)
    // holds the solution of row r and B the inverse of the coefficient block,
    // and the result is true. A singular block (no pivot above the tolerance)
    // gives false with both arrays part-way reduced; a run-time error is
    // reported to the engine's error handler and gives false too. The engine
    // is only held, never read; it may be null.
    bool Quorb_GaussJordan_b(std::int16_t n, std::int16_t m, Array2D& A, Array2D& B, RunContext* engine);

private:
    // Exchanges rows row1 and row2 of A and of B over columns 1 .. columns.
    void SwitchRows(int row1, int row2, int columns, Array2D& A, Array2D& B);

    RunContext* m_engine = nullptr;
};
