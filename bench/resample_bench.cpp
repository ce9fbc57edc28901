// Throughput of the bilinear resampler on three common size changes, at each vector level this
// processor has, side by side with OpenCV's cv::resize (INTER_LINEAR, one thread) where the native
// build has it. Prints output megapixels per second (median of repeated runs), the instruction set of
// each figure, and the ratio ours / OpenCV beside its goal (at least 1.0, aim 1.5). The two are timed
// in turn, and the ratio is the median of each turn's: this machine's speed drifts by a third within
// seconds, which would otherwise fall on one side.
//
//   resample_bench [repetitions]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "image/kernels.h"

#ifdef ORVANE_WITH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

struct Case {
  int w, h, new_w, new_h;
};

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Medians of the two works' times and of their ratio first / second, timed in turn.
struct Paired {
  double first, second, ratio;
};
Paired TimeInTurn(int repetitions, const std::function<void()>& first, const std::function<void()>& second) {
  std::vector<double> a, b, ratios;
  first();  // warm caches and pages
  second();
  for (int i = 0; i < repetitions; ++i) {
    a.push_back(Seconds(first));
    b.push_back(Seconds(second));
    ratios.push_back(a.back() / b.back());
  }
  return {Median(a), Median(b), Median(ratios)};
}

int32_t Stride(int w) { return (w * 3 + 3) & ~3; }

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const Case cases[] = {{1920, 1080, 1280, 720}, {3840, 2160, 1920, 1080}, {640, 480, 1920, 1080}};
  std::vector<rt::SimdLevel> levels;
  for (rt::SimdLevel level : {rt::SimdLevel::kSse2, rt::SimdLevel::kAvx2, rt::SimdLevel::kAvx512}) {
    if (pixels::ResampleLevel(level) == level) levels.push_back(level);
  }
  std::printf("processor's widest level: %s (the one a run uses)\n", rt::SimdLevelName(rt::BestSimdLevel()));
#ifdef ORVANE_WITH_OPENCV
  cv::setNumThreads(1);
  std::printf("%-24s %-10s %12s %14s %7s %s\n", "resize", "level", "ours Mpx/s", "OpenCV Mpx/s", "ratio", "goal");
#else
  std::printf("%-24s %-10s %12s\n", "resize", "level", "ours Mpx/s");
#endif
  std::mt19937 random(7);
  for (const Case& c : cases) {
    std::vector<uint8_t> source(static_cast<size_t>(Stride(c.w)) * c.h), target(static_cast<size_t>(Stride(c.new_w)) * c.new_h);
    for (auto& b : source) b = static_cast<uint8_t>(random());
    pixels::Image from{source.data(), c.w, c.h, Stride(c.w)};
    pixels::Image to{target.data(), c.new_w, c.new_h, Stride(c.new_w)};
    const double megapixels = static_cast<double>(c.new_w) * c.new_h / 1e6;
    char label[64];
    std::snprintf(label, sizeof label, "%dx%d -> %dx%d", c.w, c.h, c.new_w, c.new_h);
#ifdef ORVANE_WITH_OPENCV
    cv::Mat in(c.h, c.w, CV_8UC3, source.data(), static_cast<size_t>(Stride(c.w)));
    cv::Mat out(c.new_h, c.new_w, CV_8UC3);
    const auto theirs = [&] { cv::resize(in, out, out.size(), 0, 0, cv::INTER_LINEAR); };
#else
    const auto theirs = [] {};
#endif
    for (rt::SimdLevel level : levels) {
      const Paired times = TimeInTurn(repetitions, theirs, [&] { pixels::ResampleBilinear(from, to, level); });
#ifdef ORVANE_WITH_OPENCV
      const double ratio = times.ratio;
      std::printf("%-24s %-10s %12.1f %14.1f %7.2f %s\n", label, rt::SimdLevelName(level), megapixels / times.second,
                  megapixels / times.first, ratio, ratio >= 1.5 ? ">= 1.5: aim met" : ratio >= 1.0 ? ">= 1.0: met" : ">= 1.0: NOT met");
#else
      std::printf("%-24s %-10s %12.1f\n", label, rt::SimdLevelName(level), megapixels / times.second);
#endif
    }
  }
  return 0;
}
