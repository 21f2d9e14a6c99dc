#pragma once
// The weights of a separable resample along one axis: every output sample is a weighted
// sum of a few source samples (its taps) with one normalising number.
#include "base/buffers.h"
#include "base/types.h"

struct sTap
{
    i32 index;
    f64 weight;
};

class cTapTable
{
public:
    // Room for `outputs` samples with at most `capacity` taps in all.
    [[nodiscard]] bool Reserve(i32 outputs, i64 capacity)
    {
        m_used = 0;
        m_outputs = outputs;
        return m_taps.Alloc(capacity) && m_firstTap.Alloc(i64(outputs) + 1) &&
               m_norm.Alloc(outputs);
    }
    // Starts output `output`; outputs MUST be started in order 0, 1, ...
    void Begin(i32 output) { m_firstTap.GetData()[output] = i32(m_used); }
    // Adds a tap to the output begun last; ignored past the capacity.
    void Add(i32 index, f64 weight)
    {
        if (m_used < m_taps.GetCount()) {
            m_taps.GetData()[m_used++] = {index, weight};
        }
    }
    void SetNorm(i32 output, f64 norm) { m_norm.GetData()[output] = norm; }
    // Closes the table after the last output.
    void Finish() { m_firstTap.GetData()[m_outputs] = i32(m_used); }

    const sTap* TapsBegin(i32 output) const
    {
        return m_taps.GetData() + m_firstTap.GetData()[output];
    }
    const sTap* TapsEnd(i32 output) const
    {
        return m_taps.GetData() + m_firstTap.GetData()[output + 1];
    }
    f64 Norm(i32 output) const { return m_norm.GetData()[output]; }

private:
    _typebuf<sTap> m_taps;
    _typebuf<i32> m_firstTap;
    _typebuf<f64> m_norm;
    i64 m_used = 0;
    i32 m_outputs = 0;
};
