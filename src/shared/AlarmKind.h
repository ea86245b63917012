#pragma once

// The kinds of alarm. The current alarm code holds one of them, or 0 when no alarm is current.
// "Break", "Bad" and "Slow" also name the settings sections of the per-address sounds.
enum AlarmKind : int {
    NoAlarm = 0,
    Break = 1,    // every echo request to the address failed
    Bad = 2,      // some failed and the line quality fell to the threshold
    Slow = 3,     // the average round-trip time reached the threshold
    Remote = 4,   // an alarm received from another station
    CallTest = 5, // the operator's telephone test
};
