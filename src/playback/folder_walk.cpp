#include "playback/folder_walk.h"

#include <algorithm>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace mirvane {

namespace {

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A file or folder as the file system knows it, whatever path led there.
using Identity = std::pair<dev_t, ino_t>;

struct Entry {
    std::string name;
    Identity id;
};

} // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    // Greedy matching with one backtrack point: the last '*' seen and where it began to
    // match. Linear in practice, never exponential.
    size_t n = 0, m = 0;
    size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == '?' || FoldCase(mask[m]) == FoldCase(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') {
        ++m;
    }
    return m == mask.size();
}

bool MatchesAnyMask(std::string_view name, const std::vector<std::string> &masks) {
    return masks.empty() || std::any_of(masks.begin(), masks.end(), [name](const std::string &m) {
               return MatchesMask(name, m);
           });
}

bool NaturalLess(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Compare the numbers without their leading zeros: first by digit count, then digit
            // by digit, so numbers of any length compare right.
            while (i < a.size() && a[i] == '0') {
                ++i;
            }
            while (j < b.size() && b[j] == '0') {
                ++j;
            }
            size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei])) {
                ++ei;
            }
            while (ej < b.size() && IsDigit(b[ej])) {
                ++ej;
            }
            if (ei - i != ej - j) {
                return ei - i < ej - j;
            }
            const int c = a.substr(i, ei - i).compare(b.substr(j, ej - j));
            if (c != 0) {
                return c < 0;
            }
            i = ei;
            j = ej;
            continue;
        }
        const char ca = FoldCase(a[i]), cb = FoldCase(b[j]);
        if (ca != cb) {
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) {
        return j < b.size(); // the one that ran out first is a prefix of the other
    }
    return a < b; // "a01" and "A1" read the same; the bytes decide
}

WalkSummary WalkFolder(const WalkOptions &options, std::stop_token stop,
                       const std::function<void(const std::filesystem::path &)> &onFile) {
    namespace fs = std::filesystem;
    WalkSummary summary;
    const int maxDepth = std::max(options.maxDepth, 0);

    struct stat st {};
    if (::stat(options.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        summary.foldersSkipped = 1;
        return summary;
    }
    // A folder is marked when it is listed, so one reached by several paths (links) is listed
    // under the first of them in walk order, and a link back up the tree ends there.
    std::set<Identity> foldersSeen;
    std::set<Identity> filesSeen;

    struct Pending {
        fs::path folder;
        Identity id;
        int depth; // the root is 1
    };
    std::vector<Pending> pending{{options.root, {st.st_dev, st.st_ino}, 1}};
    std::vector<Entry> files;
    std::vector<Entry> folders;
    while (!pending.empty()) {
        if (stop.stop_requested()) {
            summary.stopped = true;
            return summary;
        }
        const Pending here = std::move(pending.back());
        pending.pop_back();
        if (!foldersSeen.insert(here.id).second) {
            ++summary.linksRevisited;
            continue;
        }
        files.clear();
        folders.clear();

        std::error_code ec;
        fs::directory_iterator it(here.folder, ec);
        if (ec) {
            ++summary.foldersSkipped;
            continue;
        }
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (stop.stop_requested()) {
                summary.stopped = true;
                return summary;
            }
            std::string name = it->path().filename().native();
            std::error_code typeEc;
            const fs::file_type ownType = it->symlink_status(typeEc).type();
            // A plain file of another type needs no stat: most of a music folder is skipped
            // for the price of reading the folder.
            if (ownType == fs::file_type::regular && !MatchesAnyMask(name, options.masks)) {
                continue;
            }
            struct stat target {};
            if (::stat(it->path().c_str(), &target) != 0) {
                continue; // a dangling link, or an entry gone since the listing
            }
            if (S_ISDIR(target.st_mode)) {
                folders.push_back(Entry{std::move(name), {target.st_dev, target.st_ino}});
            } else if (S_ISREG(target.st_mode) && MatchesAnyMask(name, options.masks)) {
                files.push_back(Entry{std::move(name), {target.st_dev, target.st_ino}});
            }
        }
        if (ec) {
            // The listing broke off: what it gave is kept, and the folder counts as unread.
            ++summary.foldersSkipped;
        }

        const auto byName = [](const Entry &a, const Entry &b) {
            return NaturalLess(a.name, b.name);
        };
        std::sort(files.begin(), files.end(), byName);
        for (const Entry &f : files) {
            if (stop.stop_requested()) {
                summary.stopped = true;
                return summary;
            }
            if (!filesSeen.insert(f.id).second) {
                continue;
            }
            ++summary.filesFound;
            onFile(here.folder / f.name);
        }

        if (maxDepth != 0 && here.depth >= maxDepth) {
            continue;
        }
        std::sort(folders.begin(), folders.end(), byName);
        // Pushed last to first, so the first sub-folder is searched next.
        const size_t firstNew = pending.size();
        for (const Entry &d : folders) {
            if (foldersSeen.count(d.id) != 0) {
                ++summary.linksRevisited;
                continue;
            }
            pending.push_back(Pending{here.folder / d.name, d.id, here.depth + 1});
        }
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstNew), pending.end());
    }
    return summary;
}

} // namespace mirvane
