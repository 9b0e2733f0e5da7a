#pragma once
// Folders of banners for the benchmarks: N real banners mixed with as many files that are
// not banners, written once and reused by later runs.

#include <string>

namespace talvane::bench {

// The folder with `banners` banners under `root`, written if it is not there yet.
std::string BenchFolder(const std::string& root, int banners);

// The least any program must do to list the folder: enumerate it, stat each entry, read each
// banner's bytes and expand its pixels through the palette. Returns the banners found.
int Floor(const std::string& folder);

}  // namespace talvane::bench
