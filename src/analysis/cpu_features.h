// Which vector kernels this processor can run. The shipped library is built
// for plain x86-64; kernels compiled for AVX2 (and FMA) are chosen at run
// time through these checks (and AVX-512 where it pays), so the same binary runs on any x86-64.
// Other processors (64-bit ARM, say) get none of the x86 kernels: they are
// not even compiled there (MIRL_X86_KERNELS is 0), every check answers
// false, and each operation takes its portable path, which gives the same
// bits as the vector kernels. The SSE2 code that every x86-64 runs is
// chosen at compile time alone (MIRL_SSE2_KERNELS).
//
// MIRL_PORTABLE_KERNELS, defined by the build, leaves out every x86 path
// on x86 too, so that x86 machines test the portable paths as well.
//
// Thread safety: the answers are computed once and are read-only afterwards.
#ifndef MIRL_ANALYSIS_CPU_FEATURES_H_
#define MIRL_ANALYSIS_CPU_FEATURES_H_

#if (defined(__x86_64__) || defined(__i386__)) && !defined(MIRL_PORTABLE_KERNELS)
#define MIRL_X86_KERNELS 1
#else
#define MIRL_X86_KERNELS 0
#endif

#if MIRL_X86_KERNELS && defined(__SSE2__)
#define MIRL_SSE2_KERNELS 1
#else
#define MIRL_SSE2_KERNELS 0
#endif

#if MIRL_X86_KERNELS
// Marks a function whose body may use AVX2 instructions (no FMA, so that
// the compiler cannot fuse a product and a sum that must round separately).
#define MIRL_TARGET_AVX2 __attribute__((target("avx2")))
// Marks a function whose body may use AVX2 and explicit FMA instructions.
#define MIRL_TARGET_AVX2_FMA __attribute__((target("avx2,fma")))
// Marks a function whose body may use AVX-512 (foundation and the double-
// word and quad-word set) with explicit FMA instructions.
#define MIRL_TARGET_AVX512 __attribute__((target("avx512f,avx512dq,fma")))
#endif

namespace mirl {
namespace analysis {

#if MIRL_X86_KERNELS

inline bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

inline bool CpuHasAvx2Fma() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}

inline bool CpuHasAvx512() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
  return has;
}

#else

constexpr bool CpuHasAvx2() { return false; }
constexpr bool CpuHasAvx2Fma() { return false; }
constexpr bool CpuHasAvx512() { return false; }

#endif

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_CPU_FEATURES_H_
