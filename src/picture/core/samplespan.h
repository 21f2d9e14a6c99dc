#pragma once
// The source samples behind one output sample of a separable resample: a run of
// consecutive samples whose first and last may weigh a part, the others 1. A table of
// spans takes memory per output sample, however long the source line.
#include "base/types.h"

struct sSampleSpan
{
    i32 first = 0;          // first source sample
    i32 count = 0;          // consecutive samples; 0 for none
    f64 firstWeight = 0.0;  // weight of the first sample
    f64 lastWeight = 0.0;   // weight of the last sample when count > 1
    f64 norm = 0.0;         // what the caller divides or multiplies the sum by

    // Appends sample `index`, which MUST follow the span's last sample (or start it).
    void Add(i32 index, f64 weight)
    {
        if (count == 0) {
            first = index;
            firstWeight = weight;
        } else {
            lastWeight = weight;
        }
        ++count;
    }

    // The weighted sum of value(index) over the span, in index order.
    template <class Value>
    f64 WeightedSum(Value value) const
    {
        if (count == 0) {
            return 0.0;
        }
        f64 sum = value(first) * firstWeight;
        for (i32 k = 1; k < count - 1; ++k) {
            sum += value(first + k); // weight 1
        }
        if (count > 1) {
            sum += value(first + count - 1) * lastWeight;
        }
        return sum;
    }
};
