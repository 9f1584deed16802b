#pragma once

#include <QtGlobal>

// A small seeded generator (splitmix64). The standard distributions differ between library
// implementations, so the simulator draws its own numbers to stay reproducible everywhere.
class SimRandom {
public:
    explicit SimRandom(quint64 seed) : m_state(seed) {}

    // A generator for the n-th use of a seed: each run of a tool advances a stored step, so
    // successive runs differ while the whole sequence stays reproducible from the seed.
    static SimRandom ForStep(quint64 seed, quint64 step) {
        SimRandom mixer(seed);
        const quint64 a = mixer.Next();
        SimRandom second(step ^ 0x5851F42D4C957F2DULL);
        return SimRandom(a ^ second.Next());
    }

    quint64 Next() {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A number in [0, n); 0 when n is 0.
    quint64 Below(quint64 n) { return n == 0 ? 0 : Next() % n; }
    // A number in [low, high].
    qint64 Between(qint64 low, qint64 high) {
        if (high <= low) return low;
        return low + static_cast<qint64>(Below(static_cast<quint64>(high - low) + 1));
    }
    bool Chance(int percent) { return static_cast<int>(Below(100)) < percent; }

private:
    quint64 m_state;
};
