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

// The floor's work with `threads` reads in flight: the folder is listed, then the threads
// share out its entries. Returns the banners found.
int ParallelFloor(const std::string& folder, int threads);

// Drops the data of every file in the folder from the page cache, as if it had not been read
// since the machine started (the names and inodes stay cached).
void EvictFileData(const std::string& folder);

}  // namespace talvane::bench
