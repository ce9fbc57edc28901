// Throughput of the bilinear resampler on three common size changes, side by side with OpenCV's
// cv::resize (INTER_LINEAR, one thread) where the native build has it. Prints output megapixels per
// second (median of repeated runs) and the ratio ours / OpenCV.
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

double MedianSeconds(int repetitions, const std::function<void()>& work) {
  std::vector<double> times;
  work();  // warm caches and pages
  for (int i = 0; i < repetitions; ++i) {
    auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

int32_t Stride(int w) { return (w * 3 + 3) & ~3; }

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const Case cases[] = {{1920, 1080, 1280, 720}, {3840, 2160, 1920, 1080}, {640, 480, 1920, 1080}};
#ifdef ORVANE_WITH_OPENCV
  cv::setNumThreads(1);
  std::printf("%-24s %14s %14s %8s\n", "resize", "ours Mpx/s", "OpenCV Mpx/s", "ratio");
#else
  std::printf("%-24s %14s\n", "resize", "ours Mpx/s");
#endif
  std::mt19937 random(7);
  for (const Case& c : cases) {
    std::vector<uint8_t> source(static_cast<size_t>(Stride(c.w)) * c.h), target(static_cast<size_t>(Stride(c.new_w)) * c.new_h);
    for (auto& b : source) b = static_cast<uint8_t>(random());
    pixels::Image from{source.data(), c.w, c.h, Stride(c.w)};
    pixels::Image to{target.data(), c.new_w, c.new_h, Stride(c.new_w)};
    const double megapixels = static_cast<double>(c.new_w) * c.new_h / 1e6;
    const double ours = MedianSeconds(repetitions, [&] { pixels::ResampleBilinear(from, to); });
    char label[64];
    std::snprintf(label, sizeof label, "%dx%d -> %dx%d", c.w, c.h, c.new_w, c.new_h);
#ifdef ORVANE_WITH_OPENCV
    cv::Mat in(c.h, c.w, CV_8UC3, source.data(), static_cast<size_t>(Stride(c.w)));
    cv::Mat out(c.new_h, c.new_w, CV_8UC3);
    const double theirs = MedianSeconds(repetitions, [&] { cv::resize(in, out, out.size(), 0, 0, cv::INTER_LINEAR); });
    std::printf("%-24s %14.1f %14.1f %8.2f\n", label, megapixels / ours, megapixels / theirs, theirs / ours);
#else
    std::printf("%-24s %14.1f\n", label, megapixels / ours);
#endif
  }
  return 0;
}
