#pragma once
// The folder walk behind "Add Directory": finds the files below a folder whose names match a
// set of masks, in the order a person reads a folder (natural order, track 2 before track 10).
//
// Order: a folder's matching files first, then its sub-folders one after the other, each
// searched whole before the next (depth first). Files and folders are each sorted with
// NaturalLess.
//
// Links are followed, but every real folder is listed once per walk, so a link that points
// back up the tree ends there instead of recursing forever; a real folder or file reached by
// several paths (links, hard links) comes once, under the first of them in walk order.
//
// A folder that cannot be listed (access denied, gone, any other listing error) is skipped
// and counted; the walk goes on with the next one.
//
// No Qt and no shared state: WalkFolder may run on any thread, several walks at once.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace mirvane {

struct WalkOptions {
    std::filesystem::path root;
    // Wildcard masks ('*' any run, '?' any one character), matched against the file name
    // without folder, ASCII letter case ignored. Empty: every file matches.
    std::vector<std::string> masks;
    // 1 lists the root folder only, 2 the root and its sub-folders, ...; 0 means no limit.
    // Negative values are taken as 0.
    int maxDepth = 0;
};

struct WalkSummary {
    size_t filesFound = 0;     // files reported to onFile
    size_t foldersSkipped = 0; // folders that could not be listed (the root included)
    size_t linksRevisited = 0; // folders not listed again because the walk had been there
    bool stopped = false;      // the stop request ended the walk early
};

// Whether name matches mask: '*' matches any run of characters (none too), '?' exactly one,
// anything else itself with ASCII letters compared without case.
bool MatchesMask(std::string_view name, std::string_view mask);
// Whether name matches one of masks; an empty list matches everything.
bool MatchesAnyMask(std::string_view name, const std::vector<std::string> &masks);

// Natural order: runs of digits compare by their number ("2" < "10"), other characters by
// ASCII letter without case; names that compare equal that way fall back to their bytes, so
// this is a strict weak order that never calls two different names equal.
bool NaturalLess(std::string_view a, std::string_view b);

// Walks options.root, calling onFile (on the calling thread) with the path of each matching
// file as it is found: options.root joined with the names below it. A stop request is looked at
// before every entry; once seen the walk returns with stopped set and calls onFile no more.
WalkSummary WalkFolder(const WalkOptions &options, std::stop_token stop,
                       const std::function<void(const std::filesystem::path &)> &onFile);

} // namespace mirvane
