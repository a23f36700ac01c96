#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varelo::host {

// Points as a whole number of hundredths: points are typed with at most two decimals, so
// halves, tenths and quarters add up to exactly what a teacher would add by hand, where binary
// floating point drifts (0.1 + 0.2).
class Score {
  public:
    constexpr Score() = default;
    static constexpr Score Hundredths(int64_t h) { return Score(h); }
    static constexpr Score Whole(int64_t points) { return Score(points * 100); }

    // "2", "2.5", "0.25", "2.50", ".5", with blanks around: digits with at most two decimals
    // that are not zero, at most 1000000. Empty otherwise (a sign, an exponent, "1.333").
    static std::optional<Score> Parse(std::string_view text);
    // A binary number that stands for a whole number of hundredths (a template's 2.5 or 0.1),
    // from 0 to 1000000; empty otherwise (1.333).
    static std::optional<Score> FromDouble(double value);

    constexpr int64_t hundredths() const { return h_; }
    // The shortest decimal: "2", "2.5", "0.25", "-1.5".
    std::string Text() const;
    // The binary number nearest: its shortest round-trip form is Text()'s digits.
    double ToDouble() const { return static_cast<double>(h_) / 100; }

    // This many points times k / n (n > 0), rounded down to hundredths: a share that does not
    // come out even (5 points in thirds) never gives more than the whole would.
    Score Share(int64_t k, int64_t n) const;

    constexpr Score& operator+=(Score o) {
        h_ += o.h_;
        return *this;
    }
    friend constexpr Score operator+(Score a, Score b) { return a += b; }
    friend constexpr auto operator<=>(Score, Score) = default;

  private:
    constexpr explicit Score(int64_t h) : h_(h) {}
    int64_t h_ = 0;
};

}  // namespace varelo::host
