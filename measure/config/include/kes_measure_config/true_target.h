#pragma once

// One row of the true-value table: a device angle and the distance a unit must measure there.
struct TrueTarget {
    double angle = 0;      // degrees
    double true_value = 0; // metres
};
