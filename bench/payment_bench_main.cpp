// The payment benchmarks of payment_bench.cpp as a program of their own.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
