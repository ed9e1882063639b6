#include <benchmark/benchmark.h>

int main(int argc, char** argv) { return benchmark::RunAll(argc, argv); }
