#pragma once
// Waiting and measuring on the millisecond tick, for workers and command-line runs that pace themselves.

// Suspends the calling thread for seconds × 1000 milliseconds, truncated.
void sleep_seconds(double seconds);

// Seconds measured on the millisecond tick.
class Stopwatch {
public:
    Stopwatch() { restart(); }
    void restart();
    double elapsed() const;
    // Seconds since the stored start; the start moves to now.
    double lap();

private:
    double m_start = 0;
};
