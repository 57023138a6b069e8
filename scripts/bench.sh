#!/usr/bin/env bash
# Builds the benchmarks with optimisation (build-release/, apart from the
# tests' debug build) and runs the one at a chain's size. Arguments and the
# LANTING_BENCH_* variables are described in bench/bench_scale.cpp.
source "$(dirname "$0")/common.sh"
install_missing
build "$RELEASE" Release --target bench_scale
exec "$RELEASE/bench/bench_scale" "$@"
