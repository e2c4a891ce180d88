#pragma once

namespace trevolan {

// Qt's painting and event code uses AVX and comes back with the upper halves of the
// vector registers in use. The core is SSE code, and on some processors every SSE
// instruction then waits on those upper halves (more than twice as slow) until the
// next VZEROUPPER, which SSE code never issues. Called wherever control comes back
// from Qt into the core; it costs a cycle.
inline void ClearAvxUpperState() {
#if defined(__x86_64__)
  static const bool avx = __builtin_cpu_supports("avx");
  if (avx) {
    __asm__ volatile("vzeroupper" ::: "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                     "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
  }
#endif
}

}  // namespace trevolan
