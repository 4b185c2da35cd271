#include "sim/LogGenerator.h"

#include "sim/RecordCodec.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace kv5::sim {

namespace {

// Random numbers that come out the same with every standard library: std::mt19937 yields the same
// sequence everywhere, the standard distributions do not, so the shaping is done here.
class Noise {
public:
    explicit Noise(unsigned seed) : engine_(seed) {}

    double uniform() { return (static_cast<double>(engine_()) + 0.5) / 4294967296.0; }

    double gaussian() {
        const double u1 = uniform();
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    std::mt19937 engine_;
};

// A slowly wandering disturbance: first-order autoregressive, so neighbouring readings are alike.
class Wander {
public:
    Wander(double keep, double sigma) : keep_(keep), sigma_(sigma) {}
    double next(Noise& noise) {
        value_ = keep_ * value_ + sigma_ * noise.gaussian();
        return value_;
    }

private:
    double keep_;
    double sigma_;
    double value_ = 0;
};

// Hour of day (with fraction) at which the log starts, from YYMMDDhhmm; midnight when unreadable.
double startHour(const QByteArray& startTime) {
    bool hourOk = false;
    bool minuteOk = false;
    const int hour = startTime.mid(6, 2).toInt(&hourOk);
    const int minute = startTime.mid(8, 2).toInt(&minuteOk);
    if (!hourOk || !minuteOk) return 0;
    return hour + minute / 60.0;
}

// A heated room: warmest mid-afternoon, coolest before dawn, the humidity moving the other way
// (the same air holds the same water, so warmer air reads drier), plus weather from day to day.
QByteArray roomLog(const Options& options, int records, int secondsPerRecord, Noise& noise) {
    QByteArray log;
    log.reserve(records * kVantorpRecordSize);
    const double firstHour = startHour(options.startTime);
    Wander weather(0.9995, 0.02);
    Wander draught(0.9, 0.05);
    Wander moisture(0.995, 0.15);
    for (int i = 0; i < records; ++i) {
        const double hours = firstHour + double(i) * secondsPerRecord / 3600.0;
        const double daily = std::cos(2.0 * std::numbers::pi * (hours - 15.0) / 24.0);
        const double drift = weather.next(noise);
        const double temperature = 21.0 + 2.6 * daily + drift + draught.next(noise);
        const double humidity =
            50.0 - 7.5 * daily - 2.0 * drift + moisture.next(noise) + 0.2 * noise.gaussian();
        log += encodeVantorpRecord(std::clamp(temperature, 16.0, 26.0), std::clamp(humidity, 35.0, 65.0));
    }
    return log;
}

// One kiln charge: the air is heated from the yard's temperature to the schedule's dry bulb,
// which is raised step by step as the wood dries; the humidity is lowered over the run and the
// three moisture probes dry along exponential curves of their own. The schedule is fitted to the
// length of the log (at least six hours), so every generated log shows a whole charge.
QByteArray kilnLog(int records, int secondsPerRecord, Noise& noise) {
    QByteArray log;
    log.reserve(records * kQ7RRecordSize);
    const double runSeconds = std::max(6.0 * 3600.0, double(records) * secondsPerRecord);
    const double startMc[3] = {30.0, 28.5, 31.5};
    const double dryingRate[3] = {3.2, 3.8, 2.7};
    Wander controller(0.95, 0.12);
    Wander probe[3] = {Wander(0.98, 0.03), Wander(0.98, 0.03), Wander(0.98, 0.03)};
    Wander vents(0.97, 0.35);
    for (int i = 0; i < records; ++i) {
        const double x = double(i) * secondsPerRecord / runSeconds; // 0 .. 1 over the charge
        const double setPoint = 45.0 + 13.0 * std::min(1.0, std::floor(x * 5.0) / 4.0);
        const double warmUp = 1.0 - std::exp(-x / 0.04);
        const double temperature = 17.0 + (setPoint - 17.0) * warmUp + controller.next(noise);
        const double humidity = 30.0 + 56.0 * std::pow(1.0 - x, 1.5) + vents.next(noise);
        double mc[3];
        for (int c = 0; c < 3; ++c)
            mc[c] = 8.0 + (startMc[c] - 8.0) * std::exp(-dryingRate[c] * x) + probe[c].next(noise);
        log += encodeQ7RRecord(std::clamp(mc[0], 5.0, 40.0), std::clamp(mc[1], 5.0, 40.0),
                               std::clamp(mc[2], 5.0, 40.0), std::clamp(humidity, 20.0, 95.0),
                               std::clamp(temperature, 10.0, 65.0));
    }
    return log;
}

} // namespace

QByteArray generateLog(const Options& options, int records, int secondsPerRecord) {
    Noise noise(options.seed);
    records = std::max(0, records);
    secondsPerRecord = std::max(1, secondsPerRecord);
    if (options.family == Family::Q7R) return kilnLog(records, secondsPerRecord, noise);
    return roomLog(options, records, secondsPerRecord, noise);
}

} // namespace kv5::sim
